// CAcceleratorTable: key combinations that send commands to one window,
// looked at before anything else handles the key. Qt's shortcut map would
// treat the menu bar's access key Alt+P ("&Play") and the Play accelerator
// Alt+P as ambiguous and fire neither; this table claims its keys first
// (through the shortcut-override step) and then sends its command, so an
// accelerator always wins over menu access keys, as users of the program
// expect.
//
// Keys are matched exactly: Ctrl+Shift+Z is not Ctrl+Z. The table is
// inactive while a modal dialog or a popup menu has the keyboard, since
// their key events go to another window.
//
// User-interface thread only. The window is not owned.
#pragma once

#include <QKeySequence>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <vector>

class CAcceleratorTable : public QObject {
    Q_OBJECT
public:
    struct Entry {
        Qt::KeyboardModifiers modifiers;
        int nKey;  // Qt::Key
        int nID;   // command sent
    };

    // Watches key events for `pWindow` and its children; `send` is called
    // with the command id of each matching key press.
    CAcceleratorTable(QWidget* pWindow, std::function<void(int)> send);
    ~CAcceleratorTable() override;

    void Add(Qt::KeyboardModifiers modifiers, int nKey, int nID);
    const std::vector<Entry>& GetEntries() const { return m_entries; }

    // The command of a key event, or 0 when no entry matches.
    int Lookup(const QKeyEvent& e) const;

    // "Ctrl+Z"-style text of an entry, for tests and diagnostics.
    static QString EntryText(const Entry& e);

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    bool IsForWindow(QObject* pWatched) const;

    QPointer<QWidget> m_pWindow;
    std::function<void(int)> m_send;
    std::vector<Entry> m_entries;
};
