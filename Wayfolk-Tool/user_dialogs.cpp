#include "user_dialogs.h"

#include "modBrowseFolders.h"

#include <QMessageBox>
#include <QPushButton>

#include <memory>

namespace wayfolk {

void StandardDialogs::message(QWidget *owner, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kApplicationTitle), text, QMessageBox::Ok, owner);
    box.exec();
}

void StandardDialogs::notice(QWidget *owner, const QString &text)
{
    auto *box =
        new QMessageBox(QMessageBox::NoIcon, QString::fromUtf8(kApplicationTitle), text, QMessageBox::Ok, owner);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

QMessageBox *makeQuestionBox(QWidget *owner, const QString &question, Answer defaultAnswer)
{
    auto *box = new QMessageBox(QMessageBox::Question, QString::fromUtf8(kApplicationTitle), question,
                                QMessageBox::Yes | QMessageBox::No, owner);
    // The window speaks German whatever translations are installed.
    box->button(QMessageBox::Yes)->setText(QStringLiteral("Ja"));
    box->button(QMessageBox::No)->setText(QStringLiteral("Nein"));
    box->setDefaultButton(defaultAnswer == Answer::yes ? QMessageBox::Yes : QMessageBox::No);
    box->setEscapeButton(QMessageBox::No);
    return box;
}

Answer answerOf(const QMessageBox &box)
{
    return box.clickedButton() == box.button(QMessageBox::Yes) ? Answer::yes : Answer::no;
}

Answer StandardDialogs::ask(QWidget *owner, const QString &question, Answer defaultAnswer)
{
    const std::unique_ptr<QMessageBox> box(makeQuestionBox(owner, question, defaultAnswer));
    box->exec();
    return answerOf(*box);
}

QString StandardDialogs::chooseFolder(QWidget *owner, const QString &startFolder)
{
    return modBrowseFolders::BrowseFolder(owner, QString(), startFolder);
}

}  // namespace wayfolk
