// What every window driver does: finds a control by its name and works it with real events,
// as a user would, so a test never holds a window's members.
#pragma once

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QWidget>

class WindowDriver {
public:
    explicit WindowDriver(QWidget* window) : window_(window) {}

    QWidget* window() const { return window_; }
    bool exists() const { return !window_.isNull(); }
    bool isVisible() const { return window_ && window_->isVisible(); }

    template <typename Control = QWidget> Control* control(const QString& name) const
    {
        Control* found = window_ ? window_->findChild<Control*>(name) : nullptr;
        if (!found)
            qWarning("no control %s", qPrintable(name));
        return found;
    }

    // A press of the left button on the control's middle (on a tick box, on its box).
    void click(const QString& name) const
    {
        QWidget* widget = control(name);
        const bool box = widget->inherits("QCheckBox") || widget->inherits("QRadioButton");
        QTest::mouseClick(widget, Qt::LeftButton, {}, box ? QPoint(7, widget->height() / 2) : widget->rect().center());
    }
    // Clicks a tick box or option button until it shows `on` (a disabled one stays as it is).
    void tick(const QString& name, bool on = true) const
    {
        auto* button = control<QAbstractButton>(name);
        if (button->isChecked() != on)
            click(name);
    }
    bool isTicked(const QString& name) const { return control<QAbstractButton>(name)->isChecked(); }
    bool isEnabled(const QString& name) const { return control(name)->isEnabled(); }

    // Replaces what a field (a text box or an editable combo box) holds by typing `text`.
    void type(const QString& name, const QString& text) const
    {
        QWidget* widget = control(name);
        auto* combo = qobject_cast<QComboBox*>(widget);
        QWidget* field = combo ? static_cast<QWidget*>(combo->lineEdit()) : widget;
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, text);
        // The completion list that typing may open takes keys of its own: typing ends it.
        if (combo && combo->completer() && combo->completer()->popup()->isVisible())
            combo->completer()->popup()->hide();
    }
    // What a field, a combo box or a label shows.
    QString text(const QString& name) const
    {
        QWidget* widget = control(name);
        if (auto* field = qobject_cast<QLineEdit*>(widget))
            return field->text();
        if (auto* combo = qobject_cast<QComboBox*>(widget))
            return combo->currentText();
        if (auto* label = qobject_cast<QLabel*>(widget))
            return label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            return button->text();
        return {};
    }
    QStringList rows(const QString& comboName) const
    {
        auto* combo = control<QComboBox>(comboName);
        QStringList texts;
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
        return texts;
    }
    void key(const QString& name, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) const
    {
        QTest::keyClick(control(name), key, modifiers);
    }
    // A menu item, chosen as from its menu.
    void choose(const QString& actionName) const { control<QAction>(actionName)->trigger(); }
    bool canChoose(const QString& actionName) const { return control<QAction>(actionName)->isEnabled(); }
    // The title bar's close.
    void closeFromTitleBar() const { window_->close(); }
    // Shows the window and waits until it is exposed and active.
    bool activate() const
    {
        window_->activateWindow();
        return QTest::qWaitForWindowActive(window_);
    }

protected:
    QPointer<QWidget> window_;
};
