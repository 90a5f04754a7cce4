#pragma once
// Block and inline flow plus absolute positioning over computed styles.
#include <functional>
#include <string>

#include "htmlengine/Dom.h"

namespace he {

struct LayoutContext {
    float viewportWidth = 0;
    float viewportHeight = 0;
    // Intrinsic size of an image by URL; false when it is not (yet) available.
    std::function<bool(const std::wstring& url, int& w, int& h)> imageSize;
};

// Lays out the whole document (styles must be computed).
void LayoutDocument(Document& doc, const LayoutContext& ctx);

// The deepest visible element at a document point, or null.
Element* HitTest(Element* root, float x, float y);

// Resolved image URL of an <img> element.
std::wstring ImageUrl(const Element* e);

}  // namespace he
