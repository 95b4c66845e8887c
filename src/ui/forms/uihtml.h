#pragma once
// The gallery window's form: on the left a folder's sub-folders and images,
// in the middle the add and remove buttons, on the right the gallery options
// and the chosen images. Html derives from it and supplies the behaviour.

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QToolButton;

class UiHtml : public QWidget
{
    Q_OBJECT

public:
    explicit UiHtml(QWidget *parent = nullptr);
    ~UiHtml() override;

    // Left: the folder being browsed.
    QComboBox *mpPath;
    QToolButton *mpOpen;
    QToolButton *mpUpon;
    QListWidget *mpDir;

    // Middle.
    QToolButton *mpAdd;
    QToolButton *mpRemove;

    // Right: options, actions and the chosen images.
    QLabel *textLabel1;
    QLineEdit *mpWidth;
    QLabel *textLabel2;
    QLineEdit *mpHeight;
    QLabel *textLabel1_3;
    QComboBox *mpRow;
    QToolButton *mpCancel;
    QToolButton *mpGenerate;
    QCheckBox *mpLink;
    QCheckBox *mpText;
    QLabel *textLabel1_3_2;
    QLineEdit *mpName;
    QLabel *textLabelTheme;
    QComboBox *mpTheme; // "classic", "modern"
    QCheckBox *mpKeepMetadata;
    QCheckBox *mpOriginals;
    // "n of N" while a gallery is written; why a run was refused or what
    // went wrong, on as many lines as it takes.
    QLabel *mpProgress;
    QListWidget *mpPreview;

private:
    void createWidgets();
    // Three columns: the folder, the buttons between, the settings and the
    // entries collected.
    void layOut();

protected slots:
    virtual void languageChange();
};
