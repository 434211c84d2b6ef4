#include "app/dark_appearance.h"

#include "views/focus_ring_style.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

void applyDarkAppearance(QApplication &application) {
    application.setStyle(new FocusRingStyle(QStyleFactory::create(QStringLiteral("Fusion"))));

    // Window and control backgrounds as a dark desktop draws them.
    const QColor window(44, 44, 46);
    const QColor base(30, 30, 30);
    const QColor control(58, 58, 60);
    const QColor text(235, 235, 235);
    const QColor disabledText(120, 120, 120);
    const QColor accent(10, 132, 255);

    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, control);
    palette.setColor(QPalette::ToolTipBase, control);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, disabledText);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, control);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Light, QColor(70, 70, 70));
    palette.setColor(QPalette::Midlight, QColor(60, 60, 60));
    palette.setColor(QPalette::Mid, QColor(40, 40, 40));
    palette.setColor(QPalette::Dark, QColor(15, 15, 15));
    palette.setColor(QPalette::Shadow, Qt::black);
    palette.setColor(QPalette::Highlight, accent);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, accent);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, disabledText);
    application.setPalette(palette);
}
