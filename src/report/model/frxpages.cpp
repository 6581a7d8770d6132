#include "report/model/frxpages.h"

namespace tw {

namespace {
const EnumInfo &borderStyleEnum()
{
    static const EnumInfo e{QStringLiteral("TFormBorderStyle"),
                            {QStringLiteral("bsNone"), QStringLiteral("bsSingle"), QStringLiteral("bsSizeable"),
                             QStringLiteral("bsDialog"), QStringLiteral("bsToolWindow"), QStringLiteral("bsSizeToolWin")}};
    return e;
}

const EnumInfo &positionEnum()
{
    static const EnumInfo e{QStringLiteral("TPosition"),
                            {QStringLiteral("poDesigned"), QStringLiteral("poDefault"), QStringLiteral("poDefaultPosOnly"),
                             QStringLiteral("poDefaultSizeOnly"), QStringLiteral("poScreenCenter"),
                             QStringLiteral("poDesktopCenter"), QStringLiteral("poMainFormCenter"),
                             QStringLiteral("poOwnerFormCenter")}};
    return e;
}

const EnumInfo &windowStateEnum()
{
    static const EnumInfo e{QStringLiteral("TWindowState"),
                            {QStringLiteral("wsNormal"), QStringLiteral("wsMinimized"), QStringLiteral("wsMaximized")}};
    return e;
}
} // namespace

TW_DEFINE_CLASS(TfrxPage, &TfrxComponent::staticClassInfo())
{
    ClassBuilder<TfrxPage>(info)
        .nested(QStringLiteral("Font"), TFont::staticClassInfo(), &TfrxPage::Font)
        .storedIf([](const TfrxPage *p) { return !p->ParentFont(); })
        .boolean(QStringLiteral("Visible"), &TfrxPage::Visible, &TfrxPage::SetVisible, true);
}

TW_DEFINE_CLASS(TfrxDataPage, &TfrxPage::staticClassInfo())
{
    using P = TfrxDataPage;
    ClassBuilder<P>(info)
        .factory(frxFactory<P>())
        .floating(QStringLiteral("Left"), &P::Left, &P::SetLeft)
        .floating(QStringLiteral("Top"), &P::Top, &P::SetTop)
        .floating(QStringLiteral("Width"), &P::Width, &P::SetWidth)
        .floating(QStringLiteral("Height"), &P::Height, &P::SetHeight);
}

TfrxDataPage::TfrxDataPage(Component *owner) : TfrxPage(owner)
{
    SetWidth(1000);
    SetHeight(1000);
}

TW_DEFINE_CLASS(TfrxDialogPage, &TfrxPage::staticClassInfo())
{
    using P = TfrxDialogPage;
    auto ev = [](QString P::*m) {
        return std::make_pair([m](const P *p) { return p->*m; }, [m](P *p, const QString &v) { p->*m = v; });
    };
    ClassBuilder<P> b(info);
    b.factory(frxFactory<P>())
        .enumeration(QStringLiteral("BorderStyle"), borderStyleEnum(), &P::BorderStyle, &P::SetBorderStyle)
        .string(QStringLiteral("Caption"), &P::Caption, &P::SetCaption)
        .integer(QStringLiteral("Color"), &P::Color, &P::SetColor)
        .floating(QStringLiteral("Height"), &P::Height, &P::SetHeight)
        .floating(QStringLiteral("ClientHeight"), &P::ClientHeight, &P::SetClientHeight)
        .floating(QStringLiteral("Left"), &P::Left, &P::SetLeft)
        .enumeration(QStringLiteral("Position"), positionEnum(), &P::Position, &P::SetPosition)
        .floating(QStringLiteral("Top"), &P::Top, &P::SetTop)
        .floating(QStringLiteral("Width"), &P::Width, &P::SetWidth)
        .floating(QStringLiteral("ClientWidth"), &P::ClientWidth, &P::SetClientWidth)
        .enumeration(QStringLiteral("WindowState"), windowStateEnum(), &P::WindowState, &P::SetWindowState);
    const std::pair<const char *, QString P::*> events[] = {
        {"OnActivate", &P::OnActivate}, {"OnClick", &P::OnClick},       {"OnDeactivate", &P::OnDeactivate},
        {"OnHide", &P::OnHide},         {"OnKeyDown", &P::OnKeyDown},   {"OnKeyPress", &P::OnKeyPress},
        {"OnKeyUp", &P::OnKeyUp},       {"OnResize", &P::OnResize},     {"OnShow", &P::OnShow},
        {"OnCloseQuery", &P::OnCloseQuery},
    };
    for (const auto &[name, member] : events) {
        auto [get, set] = ev(member);
        b.string(QString::fromLatin1(name), get, set);
    }
}

TfrxDialogPage::TfrxDialogPage(Component *owner) : TfrxPage(owner)
{
    SetWidth(300);
    SetHeight(200);
}

} // namespace tw
