#include "line_list.h"

#include <QScrollBar>

LineList::LineList(QWidget* parent)
    : QListView(parent)
    , m_model(new QStringListModel(this)) {
    setModel(m_model);
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void LineList::setLines(const QStringList& lines) {
    m_model->setStringList(lines); // shares the lines: no copy
    scrollToTop();
    horizontalScrollBar()->setValue(0);
}

int LineList::currentRow() const {
    return currentIndex().row();
}

void LineList::setCurrentRow(int row) {
    setCurrentIndex(m_model->index(row));
}
