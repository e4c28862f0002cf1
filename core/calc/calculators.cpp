// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrilo/calc/calculators.h"

#include "tavrilo/convert/text_file.h"

namespace tavrilo {

const Calculator& Calc(CalcKind kind) {
    for (const Calculator& c : kCalculators)
        if (c.kind == kind) return c;
    return kCalculators[0];
}

char LackingByte(CalcKind calc, Language language) {
    return language == Language::Basic && Calc(calc).basicText == BasicText::CeCharacters ? kLeftOut : kReplaced;
}

const Calculator* CalcBySignature(std::string_view signature, std::uint8_t version) {
    const Calculator* found = nullptr;
    for (const Calculator& c : kCalculators)
        if (c.file.signature == signature && c.file.fromVersion <= version &&
            (!found || c.file.fromVersion > found->file.fromVersion))
            found = &c;
    return found;
}

}  // namespace tavrilo
