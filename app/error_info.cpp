// SPDX-License-Identifier: GPL-3.0-or-later
#include "error_info.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <new>
#include <system_error>

namespace tavrilo {

ErrorInfo CurrentError() {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return {QString::fromLocal8Bit(std::strerror(ENOMEM)), ENOMEM};
    } catch (const std::system_error& e) {
        return {QString::fromLocal8Bit(e.what()), e.code().value()};
    } catch (const std::exception& e) {
        return {QString::fromLocal8Bit(e.what()), EIO};
    } catch (...) {
        return {QString::fromLocal8Bit(std::strerror(EIO)), EIO};
    }
}

MessageRequest ErrorMessage(const QString& description, int number) {
    MessageRequest request;
    // The number stays on the line of the text it belongs to: no line end
    // before it, and no room for the box to wrap there.
    QString text = description;
    while (!text.isEmpty() && text.back().isSpace()) text.chop(1);
    request.text = QStringLiteral("Error: ") + text + QStringLiteral("\u00a0-\u00a0") + QString::number(number);
    request.title = QStringLiteral("ERROR");
    request.critical = true;
    return request;
}

}  // namespace tavrilo
