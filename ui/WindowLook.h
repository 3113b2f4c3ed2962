// What the window's views share of its look, built once at start-up by the application object: the
// navigation icon lists at 32 and 16 pixels, the decode icon list and the console font.
#pragma once

#include <QFont>
#include <QIcon>
#include <QList>

struct WindowLook {
    QList<QIcon> largeNavigation;
    QList<QIcon> smallNavigation;
    QList<QIcon> decode;
    QFont consoleFont; // "Tahoma", 14 pixels, normal weight, falling back to the system's sans-serif face
};
