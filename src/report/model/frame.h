#pragma once

#include "base/metadata.h"

namespace tw {

enum class TfrxFrameStyle { fsSolid, fsDash, fsDot, fsDashDot, fsDashDotDot, fsDouble, fsAltDot, fsSquare };

// Sides of a frame; a frame's Typ is a mask of these.
enum TfrxFrameType : int { ftLeft = 1, ftRight = 2, ftTop = 4, ftBottom = 8 };
using TfrxFrameTypes = int;
constexpr TfrxFrameTypes ftAllSides = ftLeft | ftRight | ftTop | ftBottom;

const EnumInfo &frameStyleEnum(); // TfrxFrameStyle
const EnumInfo &frameTypeEnum();  // element type of TfrxFrameTypes

class TfrxFrame;

// One side of a frame. Its values are written only where they differ from the frame's own,
// so a frame-wide attribute read first and a per-side one read later give the right side.
class TfrxFrameLine : public Object {
    TW_OBJECT(TfrxFrameLine)

    explicit TfrxFrameLine(TfrxFrame *frame = nullptr) : m_frame(frame) {}
    TfrxFrameLine(const TfrxFrameLine &) = delete;
    TfrxFrameLine &operator=(const TfrxFrameLine &) = delete;

    int Color() const { return m_color; }
    void SetColor(int v) { m_color = v; }
    TfrxFrameStyle Style() const { return m_style; }
    void SetStyle(TfrxFrameStyle v) { m_style = v; }
    double Width() const { return m_width; }
    void SetWidth(double v) { m_width = v; }
    TfrxFrame *Frame() const { return m_frame; }

    // Copies the values, not the owning frame.
    void Assign(const TfrxFrameLine &other);
    bool sameValues(const TfrxFrameLine &other) const;

private:
    TfrxFrame *m_frame;
    int m_color = 0;
    TfrxFrameStyle m_style = TfrxFrameStyle::fsSolid;
    double m_width = 1;
};

// The frame record of views, pages and styles.
class TfrxFrame : public Object {
    TW_OBJECT(TfrxFrame)

    TfrxFrame();
    TfrxFrame(const TfrxFrame &) = delete;
    TfrxFrame &operator=(const TfrxFrame &) = delete;

    // Color, Style and Width set the four lines as well.
    int Color() const { return m_color; }
    void SetColor(int v);
    bool DropShadow() const { return m_dropShadow; }
    void SetDropShadow(bool v) { m_dropShadow = v; }
    int ShadowColor() const { return m_shadowColor; }
    void SetShadowColor(int v) { m_shadowColor = v; }
    double ShadowWidth() const { return m_shadowWidth; }
    void SetShadowWidth(double v) { m_shadowWidth = v; }
    TfrxFrameStyle Style() const { return m_style; }
    void SetStyle(TfrxFrameStyle v);
    TfrxFrameTypes Typ() const { return m_typ; }
    void SetTyp(TfrxFrameTypes v) { m_typ = v & ftAllSides; }
    double Width() const { return m_width; }
    void SetWidth(double v);

    TfrxFrameLine &LeftLine() { return m_left; }
    const TfrxFrameLine &LeftLine() const { return m_left; }
    TfrxFrameLine &TopLine() { return m_top; }
    const TfrxFrameLine &TopLine() const { return m_top; }
    TfrxFrameLine &RightLine() { return m_right; }
    const TfrxFrameLine &RightLine() const { return m_right; }
    TfrxFrameLine &BottomLine() { return m_bottom; }
    const TfrxFrameLine &BottomLine() const { return m_bottom; }
    void SetLeftLine(const TfrxFrameLine &v) { m_left.Assign(v); }
    void SetTopLine(const TfrxFrameLine &v) { m_top.Assign(v); }
    void SetRightLine(const TfrxFrameLine &v) { m_right.Assign(v); }
    void SetBottomLine(const TfrxFrameLine &v) { m_bottom.Assign(v); }

    void Assign(const TfrxFrame &other);
    bool sameValues(const TfrxFrame &other) const;

private:
    int m_color = 0;
    bool m_dropShadow = false;
    int m_shadowColor = 0;
    double m_shadowWidth = 4;
    TfrxFrameStyle m_style = TfrxFrameStyle::fsSolid;
    TfrxFrameTypes m_typ = 0;
    double m_width = 1;
    TfrxFrameLine m_left{this};
    TfrxFrameLine m_top{this};
    TfrxFrameLine m_right{this};
    TfrxFrameLine m_bottom{this};
};

} // namespace tw
