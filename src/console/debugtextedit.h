#pragma once

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>

// The console view: read-only, at most 2500 lines, with Ctrl keys for the type filters, the pass
// list, search, erase and pause.
class DebugTextEdit : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit DebugTextEdit(QWidget *parent = nullptr);

    static constexpr int maximumLines = 2500;

    void setSearchEdit(QLineEdit *edit) { searchEdit = edit; }
    QLineEdit *searchField() const { return searchEdit; }
    bool isPaused() const { return paused; }
    void setPaused(bool on) { paused = on; }

    // "Filter: " and the labels of the blocked types, in their order.
    static QString blockedTypesTitle();

public Q_SLOTS:
    void filterDialog(bool remove);
    void searchDialog(const QString &text, bool backward);
    void searchDialog(const QString &text) { searchDialog(text, false); }
    void searchDialog() { searchDialog(QString(), false); }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    QPointer<QLineEdit> searchEdit;
    bool paused = false;
    QString rememberedSearch;
};
