#include "export/appearance.h"

#include <QGuiApplication>
#include <QPalette>

namespace rg {
namespace {

RgbColor rgbOf(const QColor& c) {
    return (static_cast<RgbColor>(c.red()) << 16) | (static_cast<RgbColor>(c.green()) << 8) |
           static_cast<RgbColor>(c.blue());
}

} // namespace

GridAppearance GridAppearance::fromPalette(const QPalette& p) {
    GridAppearance a;
    a.font.color = rgbOf(p.color(QPalette::Text));
    a.headerFont.color = rgbOf(p.color(QPalette::ButtonText));
    a.bandFont.color = a.headerFont.color;
    a.headerColor = rgbOf(p.color(QPalette::Button));
    a.bandColor = a.headerColor;
    a.groupNodeTextColor = a.headerFont.color;
    a.groupNodeColor = a.headerColor;
    a.rowFooterTextColor = a.headerFont.color;
    a.rowFooterColor = a.headerColor;
    a.color = rgbOf(p.color(QPalette::Base));
    a.window = a.color;
    a.windowFrame = rgbOf(p.color(QPalette::WindowText));
    a.gridLineColor = rgbOf(p.color(QPalette::Mid));
    return a;
}

GridAppearance GridAppearance::current() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr)
        return fromPalette(QGuiApplication::palette());
    return GridAppearance();
}

} // namespace rg
