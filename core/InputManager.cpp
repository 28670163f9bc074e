#include "core/InputManager.h"

#include "core/KeyboardDevice.h"
#include "core/MouseDevice.h"
#include "dinput/DInput.h"

InputManager* InputManager::Get()
{
    // Main thread only, like every use of the input manager.
    static InputManager* instance = new InputManager();
    return instance;
}

void InputManager::ResetForTests()
{
    InputManager* manager = Get();
    manager->Release();
    manager->m_bindings.clear();
}

InputManager::InputManager() = default;

InputManager::~InputManager()
{
    Release();
}

HRESULT InputManager::Init(HINSTANCE instance, HWND window, int)
{
    // The window calls this again on every focus while not initialised: never leak the previous attempt.
    Release();
    void* created = nullptr;
    if (FAILED(DirectInput8Create(instance, DIRECTINPUT_VERSION, IID_IDirectInput8A, &created, nullptr)) || !created)
        return E_FAIL;
    m_directInput = static_cast<IDirectInput8A*>(created);

    auto keyboard = std::make_unique<KeyboardDevice>();
    auto mouse = std::make_unique<MouseDevice>();
    if (FAILED(keyboard->Init(m_directInput, window)) || FAILED(mouse->Init(m_directInput, window))) {
        keyboard->Release();
        mouse->Release();
        Release();
        return E_FAIL;
    }
    m_keyboard = std::move(keyboard);
    m_mouse = std::move(mouse);
    m_initialised = true;
    return S_OK;
}

void InputManager::Update()
{
    if (m_keyboard)
        m_keyboard->Poll();
    if (m_mouse)
        m_mouse->Poll();
}

HRESULT InputManager::AcquireDevices()
{
    if (!m_initialised || !m_keyboard || !m_mouse)
        return E_FAIL;
    const HRESULT mouse = m_mouse->Acquire();
    const HRESULT keyboard = m_keyboard->Acquire();
    return FAILED(mouse) || FAILED(keyboard) ? E_FAIL : S_OK;
}

void InputManager::Release()
{
    if (m_keyboard)
        m_keyboard->Release();
    if (m_mouse)
        m_mouse->Release();
    m_keyboard.reset();
    m_mouse.reset();
    if (m_directInput) {
        m_directInput->Release();
        m_directInput = nullptr;
    }
    m_initialised = false;
}

void InputManager::BindMouseName(const std::string& name, int mouseCode)
{
    m_bindings.emplace(name, mouseCode);
}

bool InputManager::IsKeyDown(int keyCode) const
{
    return m_keyboard && m_keyboard->IsKeyDown(keyCode);
}

bool InputManager::IsMouseButtonDown(int mouseCode) const
{
    if (!m_mouse)
        return false;
    switch (mouseCode) {
    case MOUSE_LBUTTON:
    case MOUSE_RBUTTON:
    case MOUSE_MBUTTON:
        return m_mouse->IsButtonDown(mouseCode);
    case MOUSE_WHEEL_UP:
        return m_mouse->GetWheel() > 0;
    case MOUSE_WHEEL_DOWN:
        return m_mouse->GetWheel() < 0;
    default:
        return false;
    }
}

bool InputManager::IsBindingDown(const std::string& name) const
{
    const auto found = m_bindings.find(name);
    return found != m_bindings.end() && IsMouseButtonDown(found->second);
}

void InputManager::ClearKeyboardState()
{
    if (m_keyboard)
        m_keyboard->ClearState();
}
