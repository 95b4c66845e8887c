#include "framzo.h"
#include "mimesourcefactory.h"

#include <QtTest>

class TstMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { initImages(); }
    void cleanupTestCase() { cleanupImages(); }
    void constructs()
    {
        Framzo w;
        QCOMPARE(w.windowTitle(), QStringLiteral("Framzo"));
    }
};

QTEST_MAIN(TstMainWindow)
#include "tst_mainwindow.moc"
