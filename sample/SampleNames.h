#pragma once
// Names shared by the sample product and the shipped setup lists.
inline constexpr wchar_t kAppMutex[] = L"Larkspur_Application_Mutex";
inline constexpr wchar_t kAppWindowClass[] = L"Larkspur_MainWindow_Class";
inline constexpr wchar_t kServiceMutex[] = L"Larkspur_DeviceService_Mutex";
inline constexpr wchar_t kDeviceServiceWindowClass[] = L"Larkspur_DeviceProxy_MainWindow_123456789";
