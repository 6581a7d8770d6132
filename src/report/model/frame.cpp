#include "report/model/frame.h"

namespace tw {

const EnumInfo &frameStyleEnum()
{
    static const EnumInfo e{QStringLiteral("TfrxFrameStyle"),
                            {QStringLiteral("fsSolid"), QStringLiteral("fsDash"), QStringLiteral("fsDot"),
                             QStringLiteral("fsDashDot"), QStringLiteral("fsDashDotDot"), QStringLiteral("fsDouble"),
                             QStringLiteral("fsAltDot"), QStringLiteral("fsSquare")}};
    return e;
}

const EnumInfo &frameTypeEnum()
{
    static const EnumInfo e{QStringLiteral("TfrxFrameType"),
                            {QStringLiteral("ftLeft"), QStringLiteral("ftRight"), QStringLiteral("ftTop"),
                             QStringLiteral("ftBottom")}};
    return e;
}

TW_DEFINE_CLASS(TfrxFrameLine, nullptr)
{
    using L = TfrxFrameLine;
    // A line without a frame (a copy on its own) writes everything.
    ClassBuilder<L>(info)
        .integer(QStringLiteral("Color"), &L::Color, &L::SetColor)
        .storedIf([](const L *l) { return !l->Frame() || l->Color() != l->Frame()->Color(); })
        .enumeration(QStringLiteral("Style"), frameStyleEnum(), &L::Style, &L::SetStyle)
        .storedIf([](const L *l) { return !l->Frame() || l->Style() != l->Frame()->Style(); })
        .floating(QStringLiteral("Width"), &L::Width, &L::SetWidth)
        .storedIf([](const L *l) { return !l->Frame() || l->Width() != l->Frame()->Width(); });
}

void TfrxFrameLine::Assign(const TfrxFrameLine &other)
{
    m_color = other.m_color;
    m_style = other.m_style;
    m_width = other.m_width;
}

bool TfrxFrameLine::sameValues(const TfrxFrameLine &other) const
{
    return m_color == other.m_color && m_style == other.m_style && m_width == other.m_width;
}

TW_DEFINE_CLASS(TfrxFrame, nullptr)
{
    using F = TfrxFrame;
    ClassBuilder<F>(info)
        .factory([](Object *, Object *) -> Object * { return new TfrxFrame; })
        .integer(QStringLiteral("Color"), &F::Color, &F::SetColor, 0)
        .boolean(QStringLiteral("DropShadow"), &F::DropShadow, &F::SetDropShadow, false)
        .integer(QStringLiteral("ShadowColor"), &F::ShadowColor, &F::SetShadowColor, 0)
        .floating(QStringLiteral("ShadowWidth"), &F::ShadowWidth, &F::SetShadowWidth)
        .storedIf([](const F *f) { return f->ShadowWidth() != 4; })
        .enumeration(QStringLiteral("Style"), frameStyleEnum(), &F::Style, &F::SetStyle, 0)
        .set(QStringLiteral("Typ"), QStringLiteral("TfrxFrameTypes"), frameTypeEnum(), &F::Typ, &F::SetTyp, 0)
        .floating(QStringLiteral("Width"), &F::Width, &F::SetWidth)
        .storedIf([](const F *f) { return f->Width() != 1; })
        .nested(QStringLiteral("LeftLine"), TfrxFrameLine::staticClassInfo(),
                [](const F *f) { return &f->LeftLine(); })
        .nested(QStringLiteral("TopLine"), TfrxFrameLine::staticClassInfo(), [](const F *f) { return &f->TopLine(); })
        .nested(QStringLiteral("RightLine"), TfrxFrameLine::staticClassInfo(),
                [](const F *f) { return &f->RightLine(); })
        .nested(QStringLiteral("BottomLine"), TfrxFrameLine::staticClassInfo(),
                [](const F *f) { return &f->BottomLine(); });
}

TfrxFrame::TfrxFrame() = default;

void TfrxFrame::SetColor(int v)
{
    m_color = v;
    for (TfrxFrameLine *l : {&m_left, &m_top, &m_right, &m_bottom})
        l->SetColor(v);
}

void TfrxFrame::SetStyle(TfrxFrameStyle v)
{
    m_style = v;
    for (TfrxFrameLine *l : {&m_left, &m_top, &m_right, &m_bottom})
        l->SetStyle(v);
}

void TfrxFrame::SetWidth(double v)
{
    m_width = v;
    for (TfrxFrameLine *l : {&m_left, &m_top, &m_right, &m_bottom})
        l->SetWidth(v);
}

void TfrxFrame::Assign(const TfrxFrame &other)
{
    if (&other == this)
        return;
    m_color = other.m_color;
    m_dropShadow = other.m_dropShadow;
    m_shadowColor = other.m_shadowColor;
    m_shadowWidth = other.m_shadowWidth;
    m_style = other.m_style;
    m_typ = other.m_typ;
    m_width = other.m_width;
    m_left.Assign(other.m_left);
    m_top.Assign(other.m_top);
    m_right.Assign(other.m_right);
    m_bottom.Assign(other.m_bottom);
}

bool TfrxFrame::sameValues(const TfrxFrame &other) const
{
    return m_color == other.m_color && m_dropShadow == other.m_dropShadow && m_shadowColor == other.m_shadowColor
           && m_shadowWidth == other.m_shadowWidth && m_style == other.m_style && m_typ == other.m_typ
           && m_width == other.m_width && m_left.sameValues(other.m_left) && m_top.sameValues(other.m_top)
           && m_right.sameValues(other.m_right) && m_bottom.sameValues(other.m_bottom);
}

} // namespace tw
