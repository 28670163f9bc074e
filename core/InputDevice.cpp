#include "core/InputDevice.h"

#include "dinput/DInput.h"

#include <cstring>

namespace {

constexpr int ACQUIRE_ATTEMPTS = 100;
constexpr DWORD COOPERATIVE_LEVEL = DISCL_FOREGROUND | DISCL_NONEXCLUSIVE;

} // namespace

InputDevice::~InputDevice()
{
    if (m_device) {
        m_device->Unacquire();
        m_device->Release();
    }
}

void InputDevice::Release()
{
    if (m_device) {
        m_device->Unacquire();
        m_device->Release();
        m_device = nullptr;
    }
    m_initialised = false;
    ClearState();
}

HRESULT InputDevice::Acquire()
{
    if (!m_device)
        return E_FAIL;
    for (int attempt = 0; attempt < ACQUIRE_ATTEMPTS; ++attempt)
        if (SUCCEEDED(m_device->Acquire()))
            return S_OK;
    return E_FAIL;
}

HRESULT InputDevice::InitDevice(IDirectInput8A* directInput, HWND window, const GUID& guid, const DIDATAFORMAT& format)
{
    // A second initialisation starts from nothing rather than leaking the first device.
    Release();
    if (!directInput)
        return E_FAIL;
    m_window = window;
    if (FAILED(directInput->CreateDevice(guid, &m_device, nullptr)) || !m_device ||
        FAILED(m_device->SetDataFormat(&format)) || FAILED(m_device->SetCooperativeLevel(window, COOPERATIVE_LEVEL)) ||
        FAILED(Acquire())) {
        Release();
        return E_FAIL;
    }
    m_initialised = true;
    return S_OK;
}

HRESULT InputDevice::ReadState(void* state, DWORD size)
{
    if (!m_initialised || !m_device)
        return E_FAIL;
    HRESULT result = m_device->GetDeviceState(size, state);
    if (SUCCEEDED(result))
        return S_OK;
    // The first read after the focus went answers "lost"; later ones "not acquired". Both are cured by acquiring.
    if (result != DIERR_INPUTLOST && result != DIERR_NOTACQUIRED)
        return result;
    result = Acquire();
    if (FAILED(result)) {
        ClearState();
        return result;
    }
    result = m_device->GetDeviceState(size, state);
    if (FAILED(result))
        ClearState();
    return result;
}
