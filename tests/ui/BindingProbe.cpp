// Binds the engine from its own folder, then exits with 0.
#include "ui/SciterBinding.h"

int main()
{
    ISciterAPI* api = CSciterBinding::Api();
    return api && api->ValueInit ? 0 : 3;
}
