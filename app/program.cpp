#include "app/program.h"

#include "app/tform1.h"
#include "platform/platform.h"

namespace caldrin {

Program::Program(Platform& platform, const QStringList& arguments)
    : form1_(std::make_unique<TForm1>(platform, arguments)) {}

Program::~Program() = default;

void Program::showMainWindow() { form1_->show(); }

} // namespace caldrin
