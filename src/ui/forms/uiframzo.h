#pragma once
// The main window's form: every action, the five menus, the File, Edit and
// Cut bars, the Browse dock and their texts. It holds no behaviour beyond a
// few internal connections; Framzo derives from it and wires the slots.

#include <QMainWindow>
#include <QMap>

class QAction;
class QCheckBox;
class QComboBox;
class QDockWidget;
class QLabel;
class QLineEdit;
class QMenu;
class QToolBar;
class QToolButton;
class QTreeWidget;

class UiFramzo : public QMainWindow
{
    Q_OBJECT

public:
    explicit UiFramzo(QWidget *parent = nullptr);
    ~UiFramzo() override;

    // Actions, in creation order.
    QAction *mpGetPath;
    QAction *mpSave;
    QAction *mpQuit;
    QAction *mpRot270;
    QAction *mpRot90;
    QAction *mpGenerate;
    QAction *mpHelp;
    QAction *mpAbout;
    QAction *mpHtml;
    QAction *mpDelete;
    QAction *mpSaveAs;
    QAction *mpChooseTarget;
    QAction *mpCascade;
    QAction *mpTile;
    QAction *mpShowFile;
    QAction *mpShowEdit;
    QAction *mpShowCut;
    // Cuts as mpGenerate does, opens nothing and steps to the next photo.
    QAction *mpCutNext;
    // Checkable: a cut never replaces an earlier one of the same name.
    QAction *mpKeepCuts;
    // Checkable, on by default: photos are drawn converted from their colour
    // profile to the screen's.
    QAction *mpColourManage;
    // The View menu's zoom, full screen and the frame's thirds.
    QAction *mpZoomIn;
    QAction *mpZoomOut;
    QAction *mpActualPixels;
    QAction *mpFitWindow;
    QAction *mpFullScreen;
    QAction *mpThirds;
    // Undo and Redo of the active image window's edits.
    QAction *mpUndo;
    QAction *mpRedo;

    // The bars (no object names) and the Browse dock.
    QToolBar *mpFileBar;
    QToolBar *mpEditBar;
    QToolBar *mpCutBar;
    QDockWidget *mpBrowseDock;

    // Tool buttons.
    QToolButton *mpPrev;
    QToolButton *mpNext;
    QToolButton *mpColor;
    QToolButton *mpNegative;

    // Cut settings on the Cut bar.
    QLabel *mpLabelFormat;
    QLineEdit *mpHeight;
    QLabel *mpLabelX;
    QLineEdit *mpWidth;
    QLabel *mpLabelCm;
    QCheckBox *mpFit;
    QCheckBox *mpFree;
    QComboBox *mpFrameColor;
    // Print sizes and ratios that fill the size fields; "custom" while the
    // fields say something else.
    QComboBox *mpPresets;
    // Swaps the two size fields: the frame turns a quarter.
    QToolButton *mpTurn;
    // Turns the frame to the orientation of each photo shown.
    QCheckBox *mpAutoTurn;

    // Browse dock widgets.
    QTreeWidget *mpTree;
    QLabel *mpPreview;
    QLabel *mpLabelName;
    QLabel *mpLabelSize;
    QLabel *mpLabelType;

    // The menu with the given id (2 File, 3 Edit, 4 Tools, 5 Window, 6 Help),
    // or null.
    QMenu *menuById(int id) const;

    // Shows or hides one of the cut settings widgets. A widget on a tool bar
    // is shown and hidden through the bar's action for it.
    void setCutWidgetHidden(QWidget *widget, bool hidden);

protected slots:
    virtual void languageChange();

private:
    void createActions();
    void createBars();
    // The Cut bar: its label, the presets and the two numbers, then turn,
    // auto, use dpi, free and the frame colour.
    void createCutBar();
    void createCutBoxes();
    void createBrowseDock();
    void createMenus();
    // languageChange()'s texts of the actions.
    void actionTexts();

    QMap<int, QMenu *> mMenus;
};
