#include "form/run_drop.h"

#include <exception>

#include "os/log.h"
#include "os/message_box.h"
#include "os/text_encoding.h"
#include "run/run_error.h"

namespace quorvane::form {

void runDrop(run::RunDriver& driver, const std::vector<std::u16string>& paths,
             const std::function<run::RunRequest()>& request, run::RunProgress* progress,
             const std::function<void(const Message&)>& tell) {
    const auto report = [&](const run::RunResult& result) {
        if (const auto message = reportOf(result))
            tell(*message);
    };
    for (const std::u16string& path : paths) {
        try {
            report(driver.run(request(), path, progress));
        } catch (const run::RunError& e) {
            report(e.partial());
            tell({e.message(), os::MessageBox::kCritical});
            return;
        } catch (const std::exception& e) {
            os::log::problem(e.what());
            tell({u"予期しないエラーで中断しました：" + os::fromUtf8(e.what()),
                  os::MessageBox::kCritical});
            return;
        }
    }
}

}  // namespace quorvane::form
