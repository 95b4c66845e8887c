#pragma once
#include <QObject>
#include <QString>
class UiFramzo;
class BrowseBar : public QObject
{
    Q_OBJECT
public:
    explicit BrowseBar(UiFramzo *mainWindow, const char *name = nullptr);
signals:
    void OpenImg(QString path);
public slots:
    void openPath(QString path);
};
