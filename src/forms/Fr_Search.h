#pragma once

#include "platform/db/Query.h"
#include "platform/ui/DatasetModel.h"

#include <QDialog>
#include <QIcon>
#include <QString>

class QFrame;
class QHBoxLayout;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ui {
class DbGrid;
}

namespace db {
class Field;
}

// Pieces the lookup windows share: their font, their buttons and the buttons' images.
namespace lookup {
QFont formFont();
// A button that is never the default one, so Enter belongs to the lookup's own keys.
QPushButton* button(QWidget* parent, const QString& name, const QString& caption,
                    const QIcon& image);
QIcon searchImage();
QIcon chooseImage();
QIcon cancelImage();
} // namespace lookup

// The base of the modal lookups: a search edit, a grid of rows from a query, OK and Cancel.
// A derived lookup supplies the query (connection, statement, parameters), the grid columns,
// KeyFieldName and its own search step by replacing FormShow and BtSearchClick.
//
// Caller protocol: create the lookup, set its options, show it with ui::execModal, read
// SelectedCode only when the result is QDialog::Accepted, then free it.
class TFrSearch : public QDialog {
    Q_OBJECT
public:
    explicit TFrSearch(QWidget* parent = nullptr);
    ~TFrSearch() override;

    // Name of the result column whose value is returned; set by each lookup when shown.
    QString KeyFieldName;
    // The returned value; empty whenever nothing was chosen.
    QString SelectedCode;

    // The sort state of the whole run, shared by every lookup: upper-case name of the column
    // last sorted by a title click, and whether the next click on it sorts descending.
    static inline QString SortFieldName;
    static inline bool SortDescNext = false;

    QFrame* PanelHeader = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Code = nullptr;
    QPushButton* BtSearch = nullptr;
    QPushButton* BtOk = nullptr;
    QPushButton* BtCancel = nullptr;
    ui::DbGrid* DgSearch = nullptr;
    db::Query QSearch;

    // Run when the window is shown: button language, query closed, Code emptied and focused.
    virtual void FormShow();
    // The search step, run by Enter outside the grid and by BtSearch. The base version
    // re-runs the query as it stands; with rows the grid takes the focus on the first row.
    virtual void BtSearchClick();

    // Keyboard rules; true when the key was used. The window sees every key of its
    // controls first.
    bool FormKeyDown(QWidget* control, QKeyEvent& key);
    // Chooses the current row (modal result OK).
    void DgSearchDblClick();
    // Sorts by the clicked column: rewrites the ORDER BY line to the column's ordinal and
    // re-runs the base search step with the parameters of the last search.
    void DgSearchTitleBtnClick(db::Field* field);
    // Background of a grid cell, from the row's DelFlag, Clear or Active column.
    ui::CellColors DgSearchGetCellParams(int row, const db::Field& field, bool selected) const;

    // Closing: OK only with a current row that is not a cancelled document.
    void done(int result) override;

protected:
    // Puts a control into the header panel after Code, before the three buttons.
    void addHeaderWidget(QWidget* widget);
    void setClientSize(int width, int height);

    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QHBoxLayout* headerLayout_ = nullptr;
    int headerInsertAt_ = 0;
};
