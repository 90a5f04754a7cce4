#pragma once
// The machine's identity for the questionnaire: the hardware address of the
// first physical (PCI, wired or wireless) network adapter.
#include <string>

// Lowercase hex digits of the address without separators, "" when no adapter qualifies.
std::string GetMacAddress();
// Finds the adapter's connection key whose PnP instance names the PCI bus.
bool FindAdapterConnectionKey(const std::wstring& adapterName, std::wstring& keyPath);
// Whether the connection's medium is one the identity accepts.
bool IsPhysicalMediaConnection(const std::wstring& keyPath);
struct _IP_ADAPTER_INFO;
// The address of the first qualifying adapter of the list, in list order.
std::string MacAddressFromAdapters(const _IP_ADAPTER_INFO* adapters);
// Formats up to 8 address bytes as "%02x" each.
std::string FormatHardwareAddress(const unsigned char* bytes, unsigned length);
