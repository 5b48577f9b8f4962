#include <QCoreApplication>
#include <QTest>

int runBitsTests(int argc, char **argv);
int runCodecTests(int argc, char **argv);
int runSaveCheckTests(int argc, char **argv);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int failed = 0;
    failed += runBitsTests(argc, argv);
    failed += runCodecTests(argc, argv);
    failed += runSaveCheckTests(argc, argv);
    return failed;
}
