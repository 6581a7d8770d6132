#pragma once

#include "report/model/frxcomponent.h"

namespace tw {

// Base of the report's pages. Publishes Font (only when not ParentFont) and Visible.
class TfrxPage : public TfrxComponent {
    TW_OBJECT(TfrxPage)
    using TfrxComponent::TfrxComponent;
    QString BaseName() const override { return QStringLiteral("Page"); }
};

// Holds the report's data components; a new one is 1000 x 1000.
class TfrxDataPage : public TfrxPage {
    TW_OBJECT(TfrxDataPage)
    explicit TfrxDataPage(Component *owner = nullptr);
};

// A dialog form shown before the report runs; kept and saved, never shown here.
class TfrxDialogPage : public TfrxPage {
    TW_OBJECT(TfrxDialogPage)
    explicit TfrxDialogPage(Component *owner = nullptr);

    enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
    enum TPosition {
        poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter,
        poMainFormCenter, poOwnerFormCenter
    };
    enum TWindowState { wsNormal, wsMinimized, wsMaximized };

    TFormBorderStyle BorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(TFormBorderStyle v) { m_borderStyle = v; }
    const QString &Caption() const { return m_caption; }
    void SetCaption(const QString &v) { m_caption = v; }
    int Color() const { return m_color; }
    void SetColor(int v) { m_color = v; }
    // The client area is the form less its borders and caption.
    double ClientHeight() const { return m_clientHeight; }
    void SetClientHeight(double v) { m_clientHeight = v; }
    double ClientWidth() const { return m_clientWidth; }
    void SetClientWidth(double v) { m_clientWidth = v; }
    TPosition Position() const { return m_position; }
    void SetPosition(TPosition v) { m_position = v; }
    TWindowState WindowState() const { return m_windowState; }
    void SetWindowState(TWindowState v) { m_windowState = v; }

    QString OnActivate, OnClick, OnDeactivate, OnHide, OnKeyDown, OnKeyPress, OnKeyUp, OnResize, OnShow,
        OnCloseQuery;

private:
    TFormBorderStyle m_borderStyle = bsDialog;
    QString m_caption;
    int m_color = -2147483633; // button face
    double m_clientHeight = 0;
    double m_clientWidth = 0;
    TPosition m_position = poScreenCenter;
    TWindowState m_windowState = wsNormal;
};

} // namespace tw
