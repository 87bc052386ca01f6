// What an MDI child offers the frame to show in place of the main menu while it is the active
// child: its own popups (the data windows' browse menu) and toolbar buttons. A child widget
// implements this next to QWidget; the frame finds it with dynamic_cast on the widget inside
// the QMdiSubWindow. The child owns the menus and actions (parented to itself): when it is
// destroyed they leave the frame's menu bar and toolbar by themselves. Their shortcuts act only
// while the frame shows them, so two open data windows never compete for the same key.
#pragma once

#include <QList>

class QAction;
class QMenu;

namespace zentor::ui {

class MdiMenuProvider {
 public:
  virtual ~MdiMenuProvider() = default;

  // The popups for the menu bar, left to right.
  virtual QList<QMenu*> mdiMenus() const = 0;
  // The toolbar buttons, left to right; nullptr stands for a separator. None by default.
  virtual QList<QAction*> mdiToolBarActions() const { return {}; }
};

}  // namespace zentor::ui
