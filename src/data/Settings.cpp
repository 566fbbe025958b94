#include "Settings.h"

#include "Recordset.h"
#include "Schema.h"

namespace quillbox::data {

bool protectionOn(Recordset& settings) {
    const Value flag = settings.Fields(schema::WantPassword);
    return !flag.isNull() && flag.toDouble() > 0;
}

void setProtection(Recordset& settings, bool on) {
    settings.Edit();
    settings.Collect(schema::WantPassword, on ? 1 : 0);
    settings.Update();
}

void storeVerifier(Recordset& settings, const QString& verifier) {
    settings.Edit();
    settings.Collect(schema::Senha, verifier);
    settings.Update();
}

} // namespace quillbox::data
