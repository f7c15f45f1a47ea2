// The program entry: the application with its error handler, and the main window.
#include "app/application.h"
#include "app/main_window.h"
#include "app/message_box.h"

int main(int argc, char** argv) {
  velnorex::VelnorexApplication app(argc, argv);
  app.setApplicationName(QString::fromLatin1(velnorex::kApplicationTitle));
  TForm1 w;
  w.show();
  return app.exec();
}
