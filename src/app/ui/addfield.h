#pragma once

#include <QDialog>

namespace rg {

// Created at start and kept for the whole run; no command shows it.
class TfrmAddField : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAddField(QWidget* parent = nullptr);
};

} // namespace rg
