// The modal options window: the five global options and the re-association.
#pragma once

#include <QDialog>

#include "services/Session.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

class Form1 final : public QDialog {
    Q_OBJECT

public:
    // `current` are the global options as they stand when the window opens.
    explicit Form1(const GlobalOptions& current, QWidget* parent = nullptr);

    // Fills the controls from the global options.
    void Intoform();
    // The options as the controls hold them.
    GlobalOptions options() const;

signals:
    // OK: the new options, before they are saved. The shell takes them over and restacks
    // the icon.
    void optionsAccepted(const GlobalOptions& options);

private:
    void createControls();
    void setTabOrderByScreen();
    void connectSignals();
    void pickSoundFile();
    void pickBrowseDirectory();
    void acceptOptions();
    void reassociate();

    QCheckBox* Check1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QRadioButton* Option2[2] = {};
    QGroupBox* Frame1 = nullptr;
    QRadioButton* Option1[2] = {};
    QLineEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QLineEdit* Text3 = nullptr;
    QPushButton* Command5 = nullptr;
    QPushButton* Command4 = nullptr;
    QButtonGroup* option1Group_ = nullptr;
    QButtonGroup* option2Group_ = nullptr;
    GlobalOptions current_;
};
