#pragma once
// List1, the history's lines: one string list shown through a model, not an item object per line.
// Ten years of a tenor are thousands of lines, listed again at every cycle.

#include <QListView>
#include <QStringListModel>

class LineList : public QListView {
    Q_OBJECT
public:
    explicit LineList(QWidget* parent = nullptr);

    int count() const { return m_model->rowCount(); }
    QString text(int row) const { return lines().value(row); }
    // Every line, first to last (shared with the model, not copied).
    QStringList lines() const { return m_model->stringList(); }
    // Shows these lines instead, as a new list does: nothing chosen, at the top.
    void setLines(const QStringList& lines);

    int currentRow() const;
    void setCurrentRow(int row);

private:
    QStringListModel* m_model;
};
