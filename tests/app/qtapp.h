#pragma once

#include "qtapplication.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QFile>
#include <QDir>

using rgtest::qtApp;

inline void touch(const QString& path) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
}
