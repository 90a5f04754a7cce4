#pragma once
// The empty marker files that setup leaves in the engine folder once the
// body archive has been handled: "finish.bin" when every product file is
// there, "bodyfailed.bin" when the body could not be written or unpacked
// completely (damaged archive, unsafe name, full disk).
constexpr wchar_t kBodyFinishedMarker[] = L"finish.bin";
constexpr wchar_t kBodyFailedMarker[] = L"bodyfailed.bin";
