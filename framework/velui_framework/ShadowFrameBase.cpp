#include "framework/velui_framework/ShadowFrameBase.h"

#include "common/XLog.h"

namespace velui {

void CShadowFrameBase::SetShadow(HWND host, bool on, UINT sideMask)
{
    if (!on) {
        m_shadow.Destroy();
        return;
    }
    if (!::IsWindow(host)) {
        XASSERT_TEXT_AT(false, L"IsWindow(hHost)", L"velui_shadowframe", 31);
        return;
    }
    if (m_shadow.Window())
        return;
    m_shadow.SetMargins(9, 4, 9, 14);
    m_shadow.LoadShadowImage();
    m_shadow.SetPictureMode(1);
    // A shadow that cannot be created leaves the window without one.
    if (!m_shadow.Create(host))
        return;
    m_shadow.SetSize(9);
    m_shadow.SetPosition(0, 5);
    m_shadow.SetSharpness(8);
    m_shadow.SetDarkness(150);
    m_shadow.SetColor(RGB(60, 60, 60));
    m_shadow.SetFlag(sideMask);
}

}  // namespace velui
