#pragma once

#include "qtapplication.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using rgtest::qtApp;

inline void touch(const QString& path) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
}
