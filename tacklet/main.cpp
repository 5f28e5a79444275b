// The Tacklet program: the real desktop, the program's resources, and the application object's
// whole life on the GUI thread.

#include "orvane_app.h"
#include "platform/gtk/desktop_app.h"
#include "resources.h"

int main(int argc, char** argv)
{
    platform::gtk::DesktopSession session(argc, argv, tacklet_resource_table(), "tacklet");
    COrvaneApp app;
    return app.Run();
}
