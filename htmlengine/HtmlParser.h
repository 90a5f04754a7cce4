#pragma once
// A forgiving HTML parser for hand-written pages.
#include <string>

#include "htmlengine/Dom.h"

namespace he {

// Decodes page bytes (UTF-8, with or without a byte-order mark; UTF-16 with one).
std::wstring DecodeText(const unsigned char* data, size_t size);

// Parses a whole page into `doc` (html, head and body are always present).
void ParseHtml(Document& doc, const std::wstring& html);

// Parses a fragment and appends its nodes to `parent` (innerHTML).
void ParseHtmlFragment(Document& doc, Element* parent, const std::wstring& html);

// Replaces character references (&amp; &#39; &#x4e2d; ...).
std::wstring DecodeEntities(const std::wstring& s);

}  // namespace he
