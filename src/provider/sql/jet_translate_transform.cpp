// TRANSFORM ... PIVOT: crosstab queries.
#include "sql/jet_translator.h"

namespace vorn::provider::sql {

void JetTranslator::TranslateTransform(TranslationResult*) {
    Fail(Peek(), L"TRANSFORM is not supported yet");
}

}  // namespace vorn::provider::sql
