// `APPICON`: the program's icon "AppIcon", drawn in code in the sizes the window system asks for
// (the program carries no icon resource).
#pragma once

#include <QIcon>

namespace zentor::ui {

class APPICON : public QIcon {
 public:
  APPICON();
};

}  // namespace zentor::ui
