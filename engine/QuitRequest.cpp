#include "engine/QuitRequest.h"

std::string QuitRequest(const std::string& id)
{
    if (id == "116442")
        return "{\"protocol_type\":\"framework\",\"pass_message\":true,\"target_product_id\":\"" + id +
               "\",\"protocol_content\":{\"op_type\":\"exit\"}}";
    return "{\"protocol_type\":\"framework\",\"pass_message\":true,\"target_class_name\":\"" + id +
           "\",\"protocol_content\":{\"op_type\":\"quit\"}}";
}

std::string ServiceQuitRequest()
{
    return "{\"protocol_type\":\"framework\",\"protocol_content\":{\"op_type\":\"quit\"}}";
}
