#pragma once
// List1, the history's lines: one string list shown through a model, not an item object per line.
// Ten years of a tenor are thousands of lines, listed again at every cycle.

#include <QListView>
#include <QStringList>

class QStringListModel;

class LineList : public QListView {
    Q_OBJECT
public:
    explicit LineList(QWidget* parent = nullptr);

    int count() const { return static_cast<int>(m_lines.size()); }
    QString text(int row) const { return m_lines.value(row); }
    // Every line, first to last.
    const QStringList& lines() const { return m_lines; }
    // Shows these lines instead, as a new list does: nothing chosen, at the top.
    void setLines(const QStringList& lines);
    void clear() { setLines({}); }

    int currentRow() const;
    void setCurrentRow(int row);

private:
    QStringList m_lines;
    QStringListModel* m_model;
};
