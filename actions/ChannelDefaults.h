#pragma once
// The channel record's value name and the channel text that stands for no
// particular channel.
inline constexpr wchar_t kChannelValueName[] = L"ChannelID";
inline constexpr wchar_t kDefaultChannelId[] = L"Qm9ndXNDaGFubmVsVmFsdWVGb3JTcGVjT25seTEyMzQ=";
