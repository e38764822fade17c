#include <QCoreApplication>

int main(int argc, char** argv) {
    if (argc < 2) {
        return 0;
    }
    QCoreApplication app(argc, argv);
    return 0;
}
