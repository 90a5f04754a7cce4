#pragma once
// Resource ids of setup.exe (shared by the resource scripts and the code).
#define IDR_HEAD_ARCHIVE 110
#define IDR_BODY_ARCHIVE 111
#define IDR_CHANNEL_TEXT 112
#define IDR_FINISH_MARKER 113 /* never built in: writing it makes an empty file */
#define IDR_SPLASH_PNG 141
#define IDR_PNG_2 143
#define IDR_PNG_3 144
#define IDR_PNG_4 145
#define IDR_LANGUAGE_XML 161
