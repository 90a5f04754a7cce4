#include "framework/velui_framework/frame_manager.h"

#include "framework/velui_framework/frame.h"

namespace velui {

frame_manager::frame_manager() : m_signal(std::make_shared<Signal>()) { }

frame_manager::~frame_manager()
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    for (auto& entry : m_connections)
        entry.second.disconnect();
    m_connections.clear();
    m_frames.clear();
}

void frame_manager::add_frame(HWND window, const std::shared_ptr<frame>& f)
{
    if (!f)
        return;
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    m_frames[window] = f;
    // The slot only posts to the frame's own window: it never re-enters here.
    auto connection = m_signal->connect(
        [f](const std::string& type, const std::string& body) { f->on_buss_message(type, body, true); });
    auto old = m_connections.find(window);
    if (old != m_connections.end())
        old->second.disconnect();
    m_connections[window] = connection;
}

void frame_manager::remove_frame(HWND window)
{
    std::shared_ptr<frame> keep;  // released after the lock
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    auto it = m_frames.find(window);
    if (it != m_frames.end()) {
        keep = it->second;
        m_frames.erase(it);
    }
    auto c = m_connections.find(window);
    if (c != m_connections.end()) {
        c->second.disconnect();
        m_connections.erase(c);
        emit_locked("nousemsg", "");
        emit_locked("nousemsg2", "");
    }
}

std::shared_ptr<frame> frame_manager::find_frame(const std::string& name)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    for (auto& entry : m_frames)
        if (entry.second && entry.second->m_strName == name)
            return entry.second;
    return nullptr;
}

std::shared_ptr<frame> frame_manager::find_frame_by_hwnd(HWND window)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    auto it = m_frames.find(window);
    return it == m_frames.end() ? nullptr : it->second;
}

void frame_manager::broadcast(const std::string& type, const std::string& body)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    emit_locked(type, body);
}

size_t frame_manager::frame_count()
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_frames.size();
}

void frame_manager::emit_locked(const std::string& type, const std::string& body)
{
    (*m_signal)(type, body);
}

}  // namespace velui
