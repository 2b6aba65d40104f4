#pragma once

#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

// Answers every modal message box, as a user does, and remembers its title and text.
class ModalCloser : public QObject
{
public:
    enum class Answer {
        Accept, // accepts the box whatever its buttons
        ClickOk, // clicks its Ok button, accepts a box without one
    };

    explicit ModalCloser(Answer answer = Answer::Accept);

    QStringList titles;
    QStringList texts;
    QList<Qt::TextFormat> formats; // of each box's text
    QStringList details; // each box's informative text
    QList<QMessageBox::Icon> icons; // NoIcon for a box that shows a picture of its own
    QList<bool> busyShown; // whether the status bar's busy indicator showed behind each box

private:
    void answerModalBox();

    Answer answer;
    QTimer timer;
};
