#include <QApplication>

#include <chrono>

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

    // The office stays warm between drops, until it has been idle for a while or the window
    // closes.
    quorvane::automation::office::OfficeFactory::Options options;
    options.keepWarm = std::chrono::minutes{5};
    quorvane::automation::office::OfficeFactory office(options);
    quorvane::ui::QtMessageBox messages;
    const quorvane::ui::SystemVolumes volumes;
    quorvane::ui::Form1 form(office, messages, volumes);
    form.show();
    return QApplication::exec();
}
