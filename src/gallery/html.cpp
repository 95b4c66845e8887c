#include "html.h"
Html::Html(const QString &, QWidget *parent, const char *name) : UiHtml(parent, name)
{
    setObjectName(QString::fromLatin1(name));
}
