#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QMainWindow w;
    w.setWindowTitle(QString::fromUtf8("报表生成器"));
    w.show();
    return app.exec();
}
