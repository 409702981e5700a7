// Saved queries: CREATE PROCEDURE, DROP PROCEDURE, EXECUTE.
#include "sql/jet_translator.h"

namespace vorn::provider::sql {

void JetTranslator::TranslateCreateProcedure(TranslationResult*) {
    Fail(Peek(), L"CREATE PROCEDURE is not supported yet");
}

void JetTranslator::TranslateDropProcedure(TranslationResult*) {
    Fail(Peek(), L"DROP PROCEDURE is not supported yet");
}

void JetTranslator::TranslateExecute(TranslationResult*) {
    Fail(Peek(), L"EXECUTE is not supported yet");
}

}  // namespace vorn::provider::sql
