#include "ui/forms/uiabout.h"

#include "ui/images/mimesourcefactory.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>

UiAbout::UiAbout(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("UiAbout"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setMaximumSize(32000, 32000);
    setWindowIcon(fromMimeSource(QStringLiteral("icon.bmp")));

    UiAboutLayout = new QGridLayout(this);
    UiAboutLayout->setObjectName(QStringLiteral("UiAboutLayout"));
    UiAboutLayout->setContentsMargins(11, 11, 11, 11);
    UiAboutLayout->setSpacing(6);

    layout3 = new QVBoxLayout();
    layout3->setObjectName(QStringLiteral("layout3"));
    layout3->setSpacing(6);

    textLabel1 = new QLabel(this);
    textLabel1->setObjectName(QStringLiteral("textLabel1"));
    textLabel1->setTextFormat(Qt::RichText);
    layout3->addWidget(textLabel1);

    layout2 = new QHBoxLayout();
    layout2->setObjectName(QStringLiteral("layout2"));
    layout2->setSpacing(6);
    layout2->addItem(new QSpacerItem(57, 21, QSizePolicy::Expanding, QSizePolicy::Minimum));
    mpAboutOk = new QPushButton(this);
    mpAboutOk->setObjectName(QStringLiteral("mpAboutOk"));
    layout2->addWidget(mpAboutOk);
    layout2->addItem(new QSpacerItem(56, 21, QSizePolicy::Expanding, QSizePolicy::Minimum));
    layout3->addLayout(layout2);

    UiAboutLayout->addLayout(layout3, 0, 0);

    languageChange();
    resize(QSize(230, 103).expandedTo(minimumSizeHint()));

    connect(mpAboutOk, &QPushButton::clicked, this, &QDialog::accept);
}

void UiAbout::languageChange()
{
    setWindowTitle(tr("About"));
    textLabel1->setText(tr("<p align=\"center\">Framzo v2.0<br>"
                           "Cuts photos to size<br>"
                           "by Ketra</p>"));
    mpAboutOk->setText(tr("&Ok"));
    mpAboutOk->setShortcut(QKeySequence(tr("Alt+O")));
}
