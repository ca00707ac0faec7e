// A small game: a 25 x 19 map of 32 x 32 tiles fills an 800 x 600 window, a
// player walks on it with the arrow keys (facing the way it last walked), a
// translucent bar at the bottom shows the score and the frames per second,
// Space plays a blip and scores, music loops, Esc quits. Its files come
// from make_tiles_data at build time: graphics/tiles.png, graphics/player.png,
// maps/level.txt, sounds/blip.wav and sounds/music.mid.
#include <cstdio>
#include <fstream>
#include <string>

#include "GameManager.h"
#include "GameState.h"
#include "GraphicEngine/Font.h"
#include "GraphicEngine/Surface.h"
#include "GraphicEngine/Tileset.h"
#include "GraphicEngine/VideoEngine.h"
#include "InputEngine/InputEngine.h"
#include "InputEngine/Keyboard.h"
#include "SoundEngine/AudioPath.h"
#include "SoundEngine/Sound.h"
#include "SoundEngine/SoundEngine.h"
#include "platform/DirectInput.h"  // DIK_ key codes
#include "platform/DirectMusic.h"  // DMUS_SEG_REPEAT_INFINITE
#include "platform/Kernel.h"       // WinMain, GetTickCount

namespace {

const int kWidth = 800, kHeight = 600;
const int kTile = 32, kMapWidth = 25, kMapHeight = 19;
const int kHudTop = 560;
// BlitAlpha's weight is the destination's share in 256ths: the map shows
// through the bar at 96/256 and the bar covers it at 160/256.
const WORD kHudWeight = 96;
const int kSpeed = 160;  // pixels a second

class TilesState : public CQNDXGameState {
public:
    TilesState() { SetKeyboardEvents(1); }

    void Initialize() override {
        CQNDXGameManager* game = GetGameManager();
        CQNDXVideoEngine* video = GetVideoEngine();
        video->SetCursorFlag(false);   // the game is played with the keyboard
        video->ShowStatistics(false);  // the bar shows the frame rate

        // Load answers 1 when the picture is loaded.
        m_sheet = new CQNDXTileset;
        if (m_sheet->LoadAndCutGrid(video, "tiles.png", kTile, kTile, 0) != 1)
            game->LogError("tiles: graphics/tiles.png did not load", 1);
        m_player = new CQNDXSurface;
        if (m_player->Load(video, "player.png", 0) == 1)
            m_player->SetColorKeyRGB(RGB(255, 0, 255));
        else
            game->LogError("tiles: graphics/player.png did not load", 1);

        // The bar: a surface of its own (Create answers 0 when made) with
        // the text drawn into it, blended onto the map each frame.
        m_hud = new CQNDXSurface;
        if (m_hud->Create(video, kWidth, kHeight - kHudTop) != 0) game->LogError("tiles: no bar surface", 1);
        m_font = new CQNDXBitmapFont(video, "Arial", 0, 20, FW_BOLD, nullptr);
        m_font->SetTextColor(RGB(255, 255, 255));
        m_hud->SetFont(m_font);

        std::ifstream level("maps/level.txt");
        std::string row;
        for (int y = 0; y < kMapHeight && std::getline(level, row); ++y)
            for (int x = 0; x < kMapWidth && x < (int)row.size(); ++x) m_map[y][x] = row[x] - '0';
        m_last = m_fpsStart = GetTickCount();

        CQNDXSoundEngine* sounds = game->GetSoundEngine(64);
        m_path = sounds ? sounds->CreateAudioPath(64) : nullptr;
        if (!m_path) return;
        // Sound loads answer 0 when loaded; each failure is in the log.
        m_blip = new CQNDXSound(sounds);
        m_blip->Load("blip.wav", 0);
        m_music = new CQNDXSound(sounds);
        if (m_music->Load("music.mid", 1) == 0) {
            m_music->SetRepeats(DMUS_SEG_REPEAT_INFINITE);
            m_music->PlayPrimary(m_path, 0);
        }
    }

    void OnKeyDown(int key) override {
        if (key == DIK_ESCAPE) GetGameManager()->Quit(0);
        if (key == DIK_SPACE) {
            m_score += 10;
            if (m_blip && m_path) m_blip->PlaySecondary(m_path, 0);
        }
    }

    int Render() override {
        CQNDXSurface* back = GetVideoEngine()->GetBackBuffer();
        Move();

        // A grid tile's hot spot is the sheet's (0, 0): drawn at (x, y) it
        // lands at (x, y) plus its place in the sheet, so take that off.
        for (int y = 0; y < kMapHeight; ++y) {
            for (int x = 0; x < kMapWidth; ++x) {
                const CQNDXTile* tile = m_sheet->GetTile(m_map[y][x]);
                if (!tile) continue;
                const RECT* r = tile->GetRect();
                m_sheet->DrawTile(back, x * kTile - r->left, y * kTile - r->top, m_map[y][x], FALSE);
            }
        }

        // Keyed: the magenta around the figure is not drawn.
        if (m_facingLeft)
            m_player->BlitMirrorLeftRight(back, m_x, m_y, nullptr, TRUE);
        else
            m_player->Blit(back, m_x, m_y, nullptr, TRUE);

        char text[64];
        std::snprintf(text, sizeof text, "Score %d   FPS %d", m_score, m_fps);
        m_hud->Clear(m_hud->RGBToNative(RGB(16, 24, 96)));
        m_hud->DrawText(12, 8, text, -1);
        m_hud->BlitAlpha(back, 0, kHudTop, nullptr, kHudWeight, FALSE);

        ++m_frames;
        const DWORD now = GetTickCount();
        if (now - m_fpsStart >= 1000) {
            m_fps = (int)(m_frames * 1000 / (now - m_fpsStart));
            m_frames = 0;
            m_fpsStart = now;
        }
        return 0;
    }

    void Release() override {
        delete m_music;
        delete m_blip;
        delete m_hud;
        delete m_font;
        delete m_player;
        delete m_sheet;
        m_music = m_blip = nullptr;
        m_hud = m_player = nullptr;
        m_font = nullptr;
        m_sheet = nullptr;
    }

private:
    // Held keys move the player by the time since the last frame; the
    // keyboard is read every 50 ms, the frames come faster.
    void Move() {
        const DWORD now = GetTickCount();
        const int step = (int)((now - m_last) * kSpeed / 1000);
        if (step == 0) return;
        m_last = now;
        CQNDXKeyboard* keys = GetInputEngine()->GetKeyboard();
        if (keys->IsKeyDown(DIK_LEFT)) {
            m_x -= step;
            m_facingLeft = true;
        }
        if (keys->IsKeyDown(DIK_RIGHT)) {
            m_x += step;
            m_facingLeft = false;
        }
        if (keys->IsKeyDown(DIK_UP)) m_y -= step;
        if (keys->IsKeyDown(DIK_DOWN)) m_y += step;
        if (m_x < 0) m_x = 0;
        if (m_x > kWidth - kTile) m_x = kWidth - kTile;
        if (m_y < 0) m_y = 0;
        if (m_y > kHudTop - kTile) m_y = kHudTop - kTile;
    }

    CQNDXTileset* m_sheet = nullptr;
    CQNDXSurface* m_player = nullptr;
    CQNDXSurface* m_hud = nullptr;
    CQNDXBitmapFont* m_font = nullptr;
    CQNDXAudioPath* m_path = nullptr;
    CQNDXSound* m_blip = nullptr;
    CQNDXSound* m_music = nullptr;
    int m_map[kMapHeight][kMapWidth] = {};
    int m_x = (kWidth - kTile) / 2, m_y = (kHudTop - kTile) / 2;
    bool m_facingLeft = false;
    int m_score = 0;
    int m_fps = 0;
    int m_frames = 0;
    DWORD m_fpsStart = 0;
    DWORD m_last = 0;
};

}  // namespace

int WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    CQNDXGameManager* game = CQNDXGameManager::Create();
    TilesState state;
    game->AddGameState(&state);
    return game->GetVideoEngine()->CreateWindowed(kWidth, kHeight, 0) == 0 ? 0 : 1;
}
