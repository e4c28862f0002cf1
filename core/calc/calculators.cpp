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

const Calculator* CalcBySignature(std::string_view signature) {
    for (const Calculator& c : kCalculators)
        if (c.file.signature == signature) return &c;
    return nullptr;
}

}  // namespace tavrilo
