#pragma once

#include <QIcon>
#include <QObject>
#include <QPixmap>
#include <QVector>

namespace rg {

// The toolbar's image list: eight 16 x 16 pictures drawn at start.
// 0 open book, 1 two pages of text, 2 printer, 3 gear wheel, 4 unused,
// 5 door with a green arrow, 6 open folder, 7 question mark on a green disc.
class TImageList : public QObject {
    Q_OBJECT
public:
    explicit TImageList(QObject* parent = nullptr);

    int Count() const { return int(images_.size()); }
    QPixmap image(int index) const { return images_.value(index); }
    QIcon icon(int index) const { return QIcon(image(index)); }

    static constexpr int Width = 16;
    static constexpr int Height = 16;

private:
    QVector<QPixmap> images_;
};

} // namespace rg
