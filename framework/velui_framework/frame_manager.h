#pragma once
// The registry of live frames, keyed by window, and the broadcast of engine
// messages to all of them. One mutex guards both maps and every emission.
#include <windows.h>

#include <boost/signals2/signal.hpp>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace velui {

class frame;

class frame_manager {
public:
    frame_manager();
    virtual ~frame_manager();
    frame_manager(const frame_manager&) = delete;
    frame_manager& operator=(const frame_manager&) = delete;

    virtual void add_frame(HWND window, const std::shared_ptr<frame>& f);
    // Unregisters; when a connection went, tells the others with the two
    // empty broadcasts "nousemsg" and "nousemsg2".
    virtual void remove_frame(HWND window);

    // The first frame, in ascending order of windows, of that name.
    std::shared_ptr<frame> find_frame(const std::string& name);
    std::shared_ptr<frame> find_frame_by_hwnd(HWND window);
    void broadcast(const std::string& type, const std::string& body);
    size_t frame_count();

private:
    using Signal = boost::signals2::signal<void(const std::string&, const std::string&)>;
    void emit_locked(const std::string& type, const std::string& body);

    std::shared_ptr<Signal> m_signal;
    std::map<HWND, std::shared_ptr<frame>> m_frames;
    std::map<HWND, boost::signals2::connection> m_connections;
    std::recursive_mutex m_lock;
};

}  // namespace velui
