// The Points panel: a dock of the main window listing the points of the active picture, with a
// filter box (label, memo and since text, any part, ignoring case), a "due only" switch, the
// count ("12 of 3,400 points") and a table sortable by any column (PointsTableModel).
//
// The panel and the view share one selection: selecting rows selects their points in the view
// and the other way round. Activating a row (double-click or Enter) selects its point and
// centres it in the view; Delete removes the selected points after the view's one question, as
// one step of the map's history. The panel follows the
// map of the view it is attached to: every change of its points (edits in any window of the
// picture, merges, undo and redo) reaches the table; attach(null) empties it, and a view that
// goes away detaches itself.
#pragma once

#include <QDockWidget>
#include <QPointer>
#include <QTimer>

#include <vector>

class AppServices;
class CZelvorView;
class PointsTableModel;
class QCheckBox;
class QLabel;
class QLineEdit;
class QModelIndex;
class QTableView;

class PointsPanel : public QDockWidget {
    Q_OBJECT
public:
    // `services` must outlive the panel.
    explicit PointsPanel(const AppServices& services, QWidget* parent = nullptr);
    ~PointsPanel() override;

    void attach(CZelvorView* view);
    CZelvorView* attachedView() const;

    // "12 of 3,400 points" while a filter hides some, "3,400 points" otherwise.
    static QString CountText(int shown, int total, bool filtered);

    PointsTableModel& model() const { return *m_model; }
    QTableView* table() const { return m_table; }
    QLineEdit* filterBox() const { return m_filter; }
    QCheckBox* dueOnlyBox() const { return m_dueOnly; }
    QLabel* countLabel() const { return m_count; }
    // The point indices of the selected rows, ascending.
    std::vector<int> selectedPoints() const;

signals:
    // The panel's own close button hid it.
    void closedByUser();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void applyFilter();
    void updateCount();
    void activateRow(const QModelIndex& index);
    void deleteSelected();
    // The selection shared with the view: rows chosen here select their points there, and the
    // view's selection shows here (also after the rows were computed anew).
    void takeTableSelection();
    void showViewSelection();

    PointsTableModel* m_model;
    QTableView* m_table;
    QLineEdit* m_filter;
    QCheckBox* m_dueOnly;
    QLabel* m_count;
    QTimer m_typing;   // a filter runs once typing pauses
    QTimer m_dueClock; // "due only" follows the clock while it is on
    QPointer<CZelvorView> m_view;
    QMetaObject::Connection m_mapChanged;
    QMetaObject::Connection m_selectionChanged;
    bool m_syncing = false; // one side is taking the other's selection
};
