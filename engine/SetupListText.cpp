// The JSON reading of setup lists, apart from the file and resource access so
// that it can be fuzzed on its own.
#include <exception>
#include <memory>

#include "engine/SetupListFile.h"

bool ParseListText(const std::string& text, Json::Value& root, std::string* errors)
{
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    root = Json::Value();
    // The reader throws when nesting passes its depth limit: such a list is a
    // list that does not parse, never an exception that ends the engine.
    try {
        return reader->parse(text.data(), text.data() + text.size(), &root, errors);
    } catch (const std::exception&) {
        root = Json::Value();
        if (errors)
            *errors = "nesting too deep";
        return false;
    }
}
