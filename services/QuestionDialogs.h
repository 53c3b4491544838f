// The two questions a running job asks: a password for an encrypted archive, and whether an
// extracted file replaces the one already there.
#pragma once

#include <QDialog>
#include <optional>

#include "services/Pack.h"

class QCheckBox;
class QLabel;
class QLineEdit;

class PasswordDialog final : public QDialog {
    Q_OBJECT

public:
    // `again` after a wrong password.
    PasswordDialog(QWidget* parent, const QString& archiveName, bool again);

    QString password() const;

private:
    QLineEdit* passwordEdit_ = nullptr;
    QCheckBox* showText_ = nullptr;
};

// The modal password question; nullopt for キャンセル.
std::optional<QString> AskPassword(QWidget* parent, const QString& archiveName, bool again);

class OverwriteDialog final : public QDialog {
    Q_OBJECT

public:
    OverwriteDialog(QWidget* parent, const QString& destination, const Pack::ExistingFile& file);

    Pack::Overwrite answer() const { return answer_; }

private:
    Pack::Overwrite answer_ = Pack::Overwrite::Cancel;
};

Pack::Overwrite AskOverwrite(QWidget* parent, const QString& destination, const Pack::ExistingFile& file);

// "12.3 MB" style sizes and "2024/05/01 12:34:56" style times, as the questions and the
// progress window show them.
QString SizeText(std::uint64_t bytes);
QString TimeText(const QDateTime& time);
