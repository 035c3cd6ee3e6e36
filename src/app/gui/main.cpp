#include <QApplication>

#include "automation/office/office_factory.h"
#include "os/log.h"
#include "ui/application_setup.h"
#include "ui/form1.h"
#include "ui/qt_message_box.h"
#include "ui/volume_source.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    quorvane::ui::setUpApplication(app);
    quorvane::os::log::start(quorvane::os::log::defaultFile(), false);

    quorvane::automation::office::OfficeFactory office;
    quorvane::ui::QtMessageBox messages;
    const quorvane::ui::SystemVolumes volumes;
    quorvane::ui::Form1 form(office, messages, volumes);
    form.show();
    return QApplication::exec();
}
