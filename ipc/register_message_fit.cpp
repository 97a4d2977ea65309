#include "ipc/register_message_fit.h"

#include <algorithm>
#include <vector>

#include "ipc/orca_browser_plugin_codec.h"
#include "log/logger.h"
#include "platform/zeta/zeta_types.h"

namespace OrcaBrowserPlugin {

namespace {

// The size with the values at order[0..emptied) taken as empty.
std::size_t sizeWithout(const CQVString& description, const CQVString& mimeDescription,
                        const TQVVector<tNameValuePair>& parameters, const std::vector<int>& order, int emptied) {
    std::vector<bool> empty(static_cast<std::size_t>(parameters.size()), false);
    for (int i = 0; i < emptied; ++i) empty[static_cast<std::size_t>(order[static_cast<std::size_t>(i)])] = true;
    static const CQVString none;
    std::size_t position = Zeta::HEADER_SIZE;
    position = ZetaEndOfString(position, description);
    position = ZetaEndOfString(position, mimeDescription);
    position = ZetaEndOfUInt32(position);
    for (int i = 0; i < parameters.size(); ++i) {
        position = ZetaEndOfString(position, parameters.get(i).name);
        position = ZetaEndOfString(position, empty[static_cast<std::size_t>(i)] ? none : parameters.get(i).value);
    }
    return ZetaEndOfUInt32(position);  // the browser id
}

}  // namespace

std::size_t registerMessageSize(const CQVString& description, const CQVString& mimeDescription,
                                const TQVVector<tNameValuePair>& parameters) {
    return sizeWithout(description, mimeDescription, parameters, std::vector<int>(), 0);
}

int fitRegisterMessage(const CQVString& description, const CQVString& mimeDescription,
                       TQVVector<tNameValuePair>& parameters, std::size_t limit) {
    const std::size_t size = registerMessageSize(description, mimeDescription, parameters);
    if (size <= limit) return 0;
    std::vector<int> order;
    for (int i = 0; i < parameters.size(); ++i) {
        if (!parameters.get(i).value.isEmpty()) order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return parameters.get(a).value.length() > parameters.get(b).value.length();
    });
    const int all = static_cast<int>(order.size());
    if (sizeWithout(description, mimeDescription, parameters, order, all) > limit) {
        QV_LOG(LogMessage::ERROR, "Error: the registration takes %zu bytes, more than the %zu a message holds, "
               "even without the parameters' values", size, limit);
        return -1;
    }
    // Emptying a value never makes the message longer: search the fewest.
    int low = 1, high = all;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (sizeWithout(description, mimeDescription, parameters, order, middle) <= limit) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    QV_LOG(LogMessage::WARNING, "Warning: the registration takes %zu bytes, more than the %zu a message holds; "
           "%d parameter values are left out", size, limit, low);
    for (int i = 0; i < low; ++i) {
        tNameValuePair& pair = parameters.get(order[static_cast<std::size_t>(i)]);
        QV_LOG(LogMessage::WARNING, "Warning: value of parameter \"%s\" (%u bytes) left out of the registration",
               pair.name.c_str(), pair.value.length());
        pair.value = CQVString();
    }
    return low;
}

}  // namespace OrcaBrowserPlugin
