<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ja">
<context>
    <name>Kestrune</name>
    <message>
        <source>ヘルパーはシステムサービスのため、管理者がインストールする必要があります: %@</source>
        <translation>The helper is a system service and must be installed by an administrator: %@</translation>
    </message>
    <message>
        <source>ヘルパーのプログラムが見つかりません: %@</source>
        <translation>The helper program was not found: %@</translation>
    </message>
    <message>
        <source>このフォルダからはヘルパーを起動できません: %@</source>
        <translation>The helper cannot be started from this folder: %@</translation>
    </message>
    <message>
        <source>サービスファイルを書き込めません: %@</source>
        <translation>Cannot write the service file: %@</translation>
    </message>
    <message>
        <source>ヘルパーはシステムサービスのため、アプリからは登録解除できません。管理者がアンインストールしてください</source>
        <translation>The helper is a system service and cannot be unregistered from the app. Ask an administrator to uninstall it</translation>
    </message>
    <message>
        <source>サービスファイルを削除できません: %@</source>
        <translation>Cannot remove the service file: %@</translation>
    </message>
    <message>
        <source>ヘルパーを有効にするには、管理者としてインストールしてください: %@</source>
        <translation>To enable the helper, install it as an administrator: %@</translation>
    </message>
    <message>
        <source>ヘルパーを有効にするには、ヘルパーを登録してください</source>
        <translation>To enable the helper, register it</translation>
    </message>
    <message>
        <source>初期化中</source>
        <translation>Starting up</translation>
    </message>
    <message>
        <source>ヘルパー未接続(監視のみ)</source>
        <translation>Helper not connected (monitoring only)</translation>
    </message>
    <message>
        <source>このMacでは充電制御キーが見つかりません(監視のみ)</source>
        <translation>No charge control found on this computer (monitoring only)</translation>
    </message>
    <message>
        <source>充電制御オフ</source>
        <translation>Charge control off</translation>
    </message>
    <message>
        <source>残量低下のため充電を許可</source>
        <translation>Charging allowed: battery low</translation>
    </message>
    <message>
        <source>バッテリー駆動中</source>
        <translation>On battery</translation>
    </message>
    <message>
        <source>80%リミット適用中(ハードウェア制限)</source>
        <translation>80% limit active (hardware limit)</translation>
    </message>
    <message>
        <source>満充電</source>
        <translation>Fully charged</translation>
    </message>
    <message>
        <source>%@ — 充電中</source>
        <translation>%@ — charging</translation>
    </message>
    <message>
        <source>%@ — 充電停止中(%lld%%)</source>
        <translation>%@ — charging paused (%lld%%)</translation>
    </message>
    <message>
        <source>(macOSの充電最適化と競合の可能性)</source>
        <translation> (may conflict with another charge threshold setting)</translation>
    </message>
    <message>
        <source>macOSの「バッテリー充電の最適化」が本アプリの充電制御と競合している可能性があります。システム設定 → バッテリーでオフにすることを推奨します。</source>
        <translation>A charge threshold set in the desktop&apos;s power settings or by another charge-limiting tool may be conflicting with Kestrune&apos;s charge control. Turning it off there is recommended.</translation>
    </message>
    <message>
        <source>(macOS純正80%上限が有効)</source>
        <translation> (the firmware&apos;s 80% charge threshold is on)</translation>
    </message>
    <message>
        <source>macOS純正の80%充電上限が有効なため、80%で充電が停止します。システム設定 → バッテリーで解除するか、本アプリの上限を80%以下にしてください。</source>
        <translation>The battery&apos;s 80% charge threshold is on, so charging stops at 80%. Turn it off in the desktop&apos;s power settings, or set Kestrune&apos;s limit to 80% or lower.</translation>
    </message>
    <message>
        <source>上限 %lld%%</source>
        <translation>Limit %lld%%</translation>
    </message>
    <message>
        <source>AI充電: %@の取り外しに向けて満充電中</source>
        <translation>AI charging: charging to full before unplugging at %@</translation>
    </message>
    <message>
        <source>満充電モード</source>
        <translation>Full charge mode</translation>
    </message>
    <message>
        <source>充電制御の書き込みに失敗しました</source>
        <translation>Could not write the charge control setting</translation>
    </message>
    <message>
        <source>80%リミットの書き込みに失敗しました</source>
        <translation>Could not write the 80% limit</translation>
    </message>
    <message>
        <source>放電制御の書き込みに失敗しました</source>
        <translation>Could not write the discharge setting</translation>
    </message>
    <message>
        <source>ヘルパーに接続できません。システム設定で許可したあと「修復」を試してください。</source>
        <translation>Cannot connect to the helper. Make sure it is installed, then try “Repair”.</translation>
    </message>
    <message>
        <source>確認中</source>
        <translation>Checking</translation>
    </message>
    <message>
        <source>未登録</source>
        <translation>Not registered</translation>
    </message>
    <message>
        <source>承認待ち(システム設定で許可してください)</source>
        <translation>Awaiting approval (ask an administrator to allow it)</translation>
    </message>
    <message>
        <source>有効</source>
        <translation>Enabled</translation>
    </message>
    <message>
        <source>見つかりません</source>
        <translation>Not found</translation>
    </message>
    <message>
        <source>登録エラー: </source>
        <translation>Registration error: </translation>
    </message>
    <message>
        <source>登録解除エラー: </source>
        <translation>Unregistration error: </translation>
    </message>
    <message>
        <source>ヘルパーのバージョンが一致しません(再ビルド/再登録してください)</source>
        <translation>The helper&apos;s version does not match (rebuild or register it again)</translation>
    </message>
    <message>
        <source>キーボードバックライトOFF</source>
        <translation>Keyboard backlight off</translation>
    </message>
    <message>
        <source>画面輝度70%制限</source>
        <translation>Display brightness capped at 70%</translation>
    </message>
    <message>
        <source>画面輝度50%制限</source>
        <translation>Display brightness capped at 50%</translation>
    </message>
    <message>
        <source>Spotlight一時停止</source>
        <translation>Pause file indexing</translation>
    </message>
    <message>
        <source>Time Machine一時停止</source>
        <translation>Pause backups</translation>
    </message>
    <message>
        <source>%@ を減速</source>
        <translation>Slow down %@</translation>
    </message>
    <message>
        <source>%lld分</source>
        <translation>%lld min</translation>
    </message>
    <message>
        <source>%lld時間%lld分</source>
        <translation>%lld h %lld min</translation>
    </message>
    <message>
        <source>%lld時間</source>
        <translation>%lld h</translation>
    </message>
    <message>
        <source>今日、バッテリーを%@延命しました</source>
        <translation>Today you extended your battery life by %@</translation>
    </message>
    <message>
        <source>AI節電の実績をシェアして自慢しましょう。タップでシェア画面を開きます。</source>
        <translation>Share your AI power savings and show them off. Click to open the share window.</translation>
    </message>
    <message>
        <source>累計%@の延命を達成しました</source>
        <translation>You have extended your battery life by %@ in total</translation>
    </message>
    <message>
        <source>Kestruneの累計実績をシェアできます。タップでシェア画面を開きます。</source>
        <translation>You can share your total savings with Kestrune. Click to open the share window.</translation>
    </message>
    <message>
        <source>7日連続で節電実績を達成しました</source>
        <translation>You saved power 7 days in a row</translation>
    </message>
    <message>
        <source>1週間の継続実績をシェアしましょう。タップでシェア画面を開きます。</source>
        <translation>Share your week-long streak. Click to open the share window.</translation>
    </message>
    <message>
        <source>アップデート情報の形式が正しくありません</source>
        <translation>The update information is malformed</translation>
    </message>
    <message>
        <source>アップデート情報に公開中のリリースがありません</source>
        <translation>The update information lists no published release</translation>
    </message>
    <message>
        <source>アップデートサーバーが時間内に応答しませんでした</source>
        <translation>The update server did not answer in time</translation>
    </message>
    <message>
        <source>アップデート情報が大きすぎます</source>
        <translation>The update information is too large</translation>
    </message>
    <message>
        <source>アップデート情報を取得できませんでした(HTTP %lld)</source>
        <translation>Could not get the update information (HTTP %lld)</translation>
    </message>
    <message>
        <source>アップデート情報を取得できませんでした: %@</source>
        <translation>Could not get the update information: %@</translation>
    </message>
    <message>
        <source>アップデートの確認</source>
        <translation>Check for Updates</translation>
    </message>
    <message>
        <source>お使いのKestruneは最新です</source>
        <translation>Kestrune is up to date</translation>
    </message>
    <message>
        <source>Kestrune %@ が最新のバージョンです。</source>
        <translation>Kestrune %@ is the latest version.</translation>
    </message>
    <message>
        <source>新しいバージョンのKestruneがあります</source>
        <translation>A new version of Kestrune is available</translation>
    </message>
    <message>
        <source>Kestrune %1$@ が公開されています(お使いのバージョンは %2$@)。ディストリビューションのパッケージから更新できます。</source>
        <translation>Kestrune %1$@ has been released (you have %2$@). Update it through your distribution&apos;s packages.</translation>
    </message>
    <message>
        <source>ダウンロードページを開く</source>
        <translation>Open Download Page</translation>
    </message>
    <message>
        <source>アップデートを確認できませんでした</source>
        <translation>Could not check for updates</translation>
    </message>
    <message>
        <source>待機中</source>
        <translation>Idle</translation>
    </message>
    <message>
        <source>待機</source>
        <translation>Idle</translation>
    </message>
    <message>
        <source>標準節電</source>
        <translation>Standard saving</translation>
    </message>
    <message>
        <source>強化節電</source>
        <translation>Strong saving</translation>
    </message>
    <message>
        <source>最大節電</source>
        <translation>Maximum saving</translation>
    </message>
    <message>
        <source>オートパイロットOFF</source>
        <translation>Autopilot off</translation>
    </message>
    <message>
        <source>オートパイロット: オフ</source>
        <translation>Autopilot: off</translation>
    </message>
    <message>
        <source>AC接続</source>
        <translation>AC connected</translation>
    </message>
    <message>
        <source>AC接続中(待機)</source>
        <translation>On AC power (idle)</translation>
    </message>
    <message>
        <source>L%lld→L%lld (残量%lld%%)</source>
        <translation>L%lld→L%lld (%lld%% left)</translation>
    </message>
    <message>
        <source>最大節電モード</source>
        <translation>Maximum saving mode</translation>
    </message>
    <message>
        <source>残量%lld%%。バックグラウンドを強く制限しています。</source>
        <translation>%lld%% left. Background activity is strongly limited.</translation>
    </message>
    <message>
        <source>%@ (前面化のため解除)</source>
        <translation>%@ (released: brought to the front)</translation>
    </message>
    <message>
        <source>%@ の実測効果 %.2fW</source>
        <translation>%@ measured effect %.2fW</translation>
    </message>
    <message>
        <source>AI節電レポート</source>
        <translation>AI power-saving report</translation>
    </message>
    <message>
        <source>手動の輝度変更を検知 — このセッションの自動減光を停止(好みを学習)</source>
        <translation>Manual brightness change detected — auto-dimming stopped for this session (preference learned)</translation>
    </message>
    <message>
        <source>AI戦略適用中</source>
        <translation>AI strategy active</translation>
    </message>
    <message>
        <source>推定%.1fh</source>
        <translation>Est. %.1fh</translation>
    </message>
    <message>
        <source>目標%.1fh</source>
        <translation>Target %.1fh</translation>
    </message>
    <message>
        <source>節電%.1fW</source>
        <translation>Saving %.1fW</translation>
    </message>
    <message>
        <source>%lld件減速中</source>
        <translation>%lld throttled</translation>
    </message>
    <message>
        <source>削減目標を満たしたため解除</source>
        <translation>released: saving target met</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source> ほか%lld件</source>
        <translation> and %lld more</translation>
    </message>
    <message>
        <source> を減速中(前面で使うと自動解除)。</source>
        <translation> slowed down (released automatically when you bring it to the front).</translation>
    </message>
    <message>
        <source>バックグラウンドを減速しました</source>
        <translation>Background processes slowed down</translation>
    </message>
    <message>
        <source>%@ を適用</source>
        <translation>%@ applied</translation>
    </message>
    <message>
        <source>%@ を解除 (%@)</source>
        <translation>%@ released (%@)</translation>
    </message>
    <message>
        <source>%@ (手動解除・好みを学習)</source>
        <translation>%@ (released by you; preference learned)</translation>
    </message>
    <message>
        <source>除外リストへの追加を提案</source>
        <translation>Suggested for the exclusion list</translation>
    </message>
    <message>
        <source>「%@」の減速を2回解除しました。省電力タブから除外リストに追加できます。</source>
        <translation>You released “%@” twice. You can add it to the exclusion list in the Power Saver tab.</translation>
    </message>
    <message>
        <source>%@ の除外を提案</source>
        <translation>Suggested excluding %@</translation>
    </message>
    <message>
        <source>全アクションを復元 (%@)</source>
        <translation>All actions restored (%@)</translation>
    </message>
    <message>
        <source>省電力戦略の生成は1日1回までです(本日分は生成済み)</source>
        <translation>A power-saving strategy can be generated once a day (today&apos;s is already done)</translation>
    </message>
    <message>
        <source>戦略JSONの解析に失敗しました</source>
        <translation>Could not read the strategy JSON</translation>
    </message>
    <message>
        <source>バックエンド連携が無効です</source>
        <translation>The backend connection is turned off</translation>
    </message>
    <message>
        <source>オフライン(サーバーに到達できません)</source>
        <translation>Offline (the server cannot be reached)</translation>
    </message>
    <message>
        <source>サーバーURLが不正です</source>
        <translation>The server URL is not valid</translation>
    </message>
    <message>
        <source>不正なレスポンス</source>
        <translation>Invalid response</translation>
    </message>
    <message>
        <source>戦略更新エラー: %@</source>
        <translation>Strategy update error: %@</translation>
    </message>
    <message>
        <source>レポート生成エラー: %@</source>
        <translation>Report error: %@</translation>
    </message>
    <message>
        <source>診断エラー: %@</source>
        <translation>Diagnosis error: %@</translation>
    </message>
    <message>
        <source>このプログラムの場所からはログイン時に起動できません: %@</source>
        <translation>The program cannot be started at login from its location: %@</translation>
    </message>
    <message>
        <source>ログイン項目を削除できません: %@</source>
        <translation>Cannot remove the autostart entry: %@</translation>
    </message>
    <message>
        <source>ログイン項目を書き込めません: %@</source>
        <translation>Cannot write the autostart entry: %@</translation>
    </message>
    <message>
        <source>%lld日連続</source>
        <translation>%lld days in a row</translation>
    </message>
    <message>
        <source>KestruneのAI節電で、今日Macのバッテリーが +%@ 長持ちしました</source>
        <translation>Kestrune&apos;s AI power saving made my laptop&apos;s battery last +%@ longer today</translation>
    </message>
    <message>
        <source>KestruneのAI節電で、今週Macのバッテリーが合計 +%@ 長持ちしました</source>
        <translation>Kestrune&apos;s AI power saving made my laptop&apos;s battery last +%@ longer this week</translation>
    </message>
    <message>
        <source>Kestrune導入から、Macのバッテリーを累計 +%@ 延命できました</source>
        <translation>Since installing Kestrune, my laptop&apos;s battery has lasted +%@ longer in total</translation>
    </message>
    <message>
        <source>今日</source>
        <translation>Today</translation>
    </message>
    <message>
        <source>今日の実績</source>
        <translation>Today</translation>
    </message>
    <message>
        <source>今週</source>
        <translation>This week</translation>
    </message>
    <message>
        <source>今週の実績</source>
        <translation>This week</translation>
    </message>
    <message>
        <source>累計</source>
        <translation>Total</translation>
    </message>
    <message>
        <source>累計実績</source>
        <translation>All time</translation>
    </message>
    <message>
        <source>延命</source>
        <translation>longer</translation>
    </message>
    <message>
        <source>AIが自分のMacに合わせて学習した節電の実績(推定)</source>
        <translation>Power savings the AI learned for my laptop (estimated)</translation>
    </message>
    <message>
        <source>節電電力量</source>
        <translation>Energy saved</translation>
    </message>
    <message>
        <source>継続実績</source>
        <translation>Streak</translation>
    </message>
    <message>
        <source>バッテリー最大容量</source>
        <translation>Battery capacity</translation>
    </message>
    <message>
        <source>充電上限に到達しました</source>
        <translation>Charge limit reached</translation>
    </message>
    <message>
        <source>%lld%%で充電を停止しました。バッテリーの劣化を抑えます。</source>
        <translation>Charging stopped at %lld%% to slow battery wear.</translation>
    </message>
    <message>
        <source>充電制御エラー</source>
        <translation>Charge control error</translation>
    </message>
    <message>
        <source>充電制御の競合を検出</source>
        <translation>Charge control conflict detected</translation>
    </message>
    <message>
        <source>満充電が完了しました</source>
        <translation>Fully charged</translation>
    </message>
    <message>
        <source>バッテリーが100%になりました。</source>
        <translation>The battery has reached 100%.</translation>
    </message>
    <message>
        <source>バッテリー温度が高くなっています</source>
        <translation>The battery is getting hot</translation>
    </message>
    <message>
        <source>現在 %.1f°C。高温はバッテリー劣化を早めます。</source>
        <translation>Now %.1f°C. Heat wears the battery faster.</translation>
    </message>
    <message>
        <source>バッテリー消費が異常に多いです</source>
        <translation>Unusually high battery drain</translation>
    </message>
    <message>
        <source>現在 %.1fW 消費中(通常 約%.1fW)。インサイトで消費源を確認できます。</source>
        <translation>Drawing %.1f W now (usually about %.1f W). Insights shows what is using it.</translation>
    </message>
    <message>
        <source>AI診断</source>
        <translation>AI diagnosis</translation>
    </message>
    <message>
        <source>異常診断: %@</source>
        <translation>Drain diagnosis: %@</translation>
    </message>
    <message>
        <source>はじめる</source>
        <translation>Get Started</translation>
    </message>
    <message>
        <source>次へ</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>完了</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>AI省電力</source>
        <translation>AI Power Saving</translation>
    </message>
    <message>
        <source>節電効果を実測学習し、駆動時間を自動で延ばします</source>
        <translation>Measures what each saving really does and extends battery life by itself</translation>
    </message>
    <message>
        <source>充電管理</source>
        <translation>Charge Management</translation>
    </message>
    <message>
        <source>充電上限でバッテリーの劣化を抑えます</source>
        <translation>Slows battery wear with a charge limit</translation>
    </message>
    <message>
        <source>見える化</source>
        <translation>See the Results</translation>
    </message>
    <message>
        <source>「今日 +X分延命」など効果を定量表示します</source>
        <translation>Shows the effect in figures, such as “+X min today”</translation>
    </message>
    <message>
        <source>Kestruneへようこそ</source>
        <translation>Welcome to Kestrune</translation>
    </message>
    <message>
        <source>AIがこのMacの使い方を学習し、バッテリーを長持ちさせます。</source>
        <translation>AI learns how you use this computer and makes its battery last longer.</translation>
    </message>
    <message>
        <source>通知は許可されています</source>
        <translation>Notifications are allowed</translation>
    </message>
    <message>
        <source>通知が拒否されています(あとから変更できます)</source>
        <translation>Notifications are turned off (you can change this later)</translation>
    </message>
    <message>
        <source>システム設定で許可する</source>
        <translation>Allow in Settings</translation>
    </message>
    <message>
        <source>通知を許可する</source>
        <translation>Allow Notifications</translation>
    </message>
    <message>
        <source>通知の許可</source>
        <translation>Notifications</translation>
    </message>
    <message>
        <source>充電の完了・バッテリーの高温・AI節電レポートなど、
大事なタイミングだけお知らせします。</source>
        <translation>Only when it matters: a finished charge, a hot battery,
an AI power-saving report and the like.</translation>
    </message>
    <message>
        <source>ヘルパーは有効です</source>
        <translation>The helper is enabled</translation>
    </message>
    <message>
        <source>システム設定での許可が必要です</source>
        <translation>Approval needed</translation>
    </message>
    <message>
        <source>「ログイン項目と機能拡張」で Kestrune を許可してください。</source>
        <translation>Ask your administrator to allow the Kestrune helper.</translation>
    </message>
    <message>
        <source>システム設定を開く</source>
        <translation>Open Settings</translation>
    </message>
    <message>
        <source>許可したので再接続</source>
        <translation>Reconnect After Allowing</translation>
    </message>
    <message>
        <source>ヘルパーを有効にする</source>
        <translation>Enable the Helper</translation>
    </message>
    <message>
        <source>スキップしても監視機能は使えます(充電制御・省電力は後から「一般」タブで有効化できます)。</source>
        <translation>You can skip this and still monitor the battery (charge control and power saving can be enabled later in the General tab).</translation>
    </message>
    <message>
        <source>充電制御を有効にする</source>
        <translation>Turn On Charge Control</translation>
    </message>
    <message>
        <source>充電上限や省電力の自動制御には、システム権限を持つ
ヘルパーの登録が必要です(Appleの標準機構を使用)。</source>
        <translation>Charge limits and automatic power saving need a helper
with system privileges (a standard system service).</translation>
    </message>
    <message>
        <source>ログイン時に自動で起動する(推奨)</source>
        <translation>Open at login (recommended)</translation>
    </message>
    <message>
        <source>通知</source>
        <translation>Notifications</translation>
    </message>
    <message>
        <source>充電制御ヘルパー</source>
        <translation>Charge control helper</translation>
    </message>
    <message>
        <source>準備ができました</source>
        <translation>You’re All Set</translation>
    </message>
    <message>
        <source>戻る</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>未設定(後から変更可)</source>
        <translation>Not set up (can be changed later)</translation>
    </message>
    <message>
        <source>画像をコピー</source>
        <translation>Copy Image</translation>
    </message>
    <message>
        <source>コピーしました</source>
        <translation>Copied</translation>
    </message>
    <message>
        <source>画像はコピー済みです — Xの投稿画面で ⌘V を押すと添付されます</source>
        <translation>The image is copied — press Ctrl+V in the X post to attach it</translation>
    </message>
    <message>
        <source>期間</source>
        <translation>Period</translation>
    </message>
    <message>
        <source>「Xでシェア」で投稿画面が開きます。画像を付けるには投稿画面で ⌘V(コピー済み)。リンクだけでも投稿後に実績カードが画像として表示されます。</source>
        <translation>“Share on X” opens the post page. To attach the image, press Ctrl+V there (it is already copied). Even with the link alone, the card shows as an image once posted.</translation>
    </message>
    <message>
        <source>Xでシェア</source>
        <translation>Share on X</translation>
    </message>
    <message>
        <source>その他…</source>
        <translation>More…</translation>
    </message>
    <message>
        <source>画像を保存</source>
        <translation>Save Image</translation>
    </message>
    <message>
        <source>Xの投稿画面を開きました</source>
        <translation>Opened the X post page</translation>
    </message>
    <message>
        <source>⌘Vを押すと実績カードの画像を添付できます(コピー済み)。リンクだけでも投稿後にカードが画像表示されます。</source>
        <translation>Press Ctrl+V to attach the card image (already copied). Even with the link alone, the card shows as an image once posted.</translation>
    </message>
    <message>
        <source>残量の推移</source>
        <translation>Charge level</translation>
    </message>
    <message>
        <source>温度の推移</source>
        <translation>Temperature</translation>
    </message>
    <message>
        <source>充放電電力</source>
        <translation>Charge and discharge power</translation>
    </message>
    <message>
        <source>データを収集中です(1分ごとに記録されます)</source>
        <translation>Collecting data (recorded every minute)</translation>
    </message>
    <message>
        <source>放電 %.1fW</source>
        <translation>Discharging %.1fW</translation>
    </message>
    <message>
        <source>アダプタ%lldW </source>
        <translation>Adapter %lldW · </translation>
    </message>
    <message>
        <source>充放電 %+.1fW</source>
        <translation>Battery %+.1fW</translation>
    </message>
    <message>
        <source>残量</source>
        <translation>Charge</translation>
    </message>
    <message>
        <source>最大容量</source>
        <translation>Maximum capacity</translation>
    </message>
    <message>
        <source>サイクル数</source>
        <translation>Cycle count</translation>
    </message>
    <message>
        <source>温度</source>
        <translation>Temperature</translation>
    </message>
    <message>
        <source>24時間</source>
        <translation>24 Hours</translation>
    </message>
    <message>
        <source>7日間</source>
        <translation>7 Days</translation>
    </message>
    <message>
        <source>30日間</source>
        <translation>30 Days</translation>
    </message>
    <message>
        <source>%lld回</source>
        <translation>%lld cycles</translation>
    </message>
    <message>
        <source>実効 %lld / 設計 %lld mAh</source>
        <translation>Full %lld / design %lld mAh</translation>
    </message>
    <message>
        <source>設計容量比の実効容量</source>
        <translation>Full-charge capacity against design</translation>
    </message>
    <message>
        <source>M/d(ddd)</source>
        <translation>ddd M/d</translation>
    </message>
    <message>
        <source>M/d</source>
        <translation>MMM d</translation>
    </message>
    <message>
        <source>充電上限に到達したら通知</source>
        <translation>Notify when the charge limit is reached</translation>
    </message>
    <message>
        <source>満充電が完了したら通知</source>
        <translation>Notify when fully charged</translation>
    </message>
    <message>
        <source>高温を警告</source>
        <translation>Warn about high temperature</translation>
    </message>
    <message>
        <source>異常なバッテリー消費を警告</source>
        <translation>Warn about unusual battery drain</translation>
    </message>
    <message>
        <source>節電マイルストーンを通知(シェア促し)</source>
        <translation>Notify about power-saving milestones (with a prompt to share)</translation>
    </message>
    <message>
        <source>状態</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>ヘルパーバージョン</source>
        <translation>Helper version</translation>
    </message>
    <message>
        <source>充電停止キー</source>
        <translation>Charge inhibit key</translation>
    </message>
    <message>
        <source>放電キー</source>
        <translation>Discharge key</translation>
    </message>
    <message>
        <source>Apple 80%リミット(CHWA)</source>
        <translation>Hardware 80% limit (CHWA)</translation>
    </message>
    <message>
        <source>充電制御(SMC書き込み)にはroot権限のヘルパーデーモンが必要です。登録後、「システム設定 → ログイン項目と機能拡張」で許可し、この画面に戻って「許可したので再接続」を押してください。</source>
        <translation>Charge control (writing the charging settings) needs the helper daemon, which runs as root. After registering it, have an administrator allow it, then come back here and press “Allowed — Reconnect”.</translation>
    </message>
    <message>
        <source>接続済み</source>
        <translation>Connected</translation>
    </message>
    <message>
        <source>なし</source>
        <translation>None</translation>
    </message>
    <message>
        <source>あり</source>
        <translation>Available</translation>
    </message>
    <message>
        <source>再接続してプローブ</source>
        <translation>Reconnect and Probe</translation>
    </message>
    <message>
        <source>ヘルパーを修復</source>
        <translation>Repair Helper</translation>
    </message>
    <message>
        <source>登録解除</source>
        <translation>Unregister</translation>
    </message>
    <message>
        <source>ヘルパーを有効化</source>
        <translation>Enable Helper</translation>
    </message>
    <message>
        <source>しきい値 %lld°C</source>
        <translation>Threshold %lld°C</translation>
    </message>
    <message>
        <source>表示と起動</source>
        <translation>Display and Startup</translation>
    </message>
    <message>
        <source>メニューバーに残量%を表示</source>
        <translation>Show the battery percentage in the tray</translation>
    </message>
    <message>
        <source>ログイン時に起動</source>
        <translation>Start at login</translation>
    </message>
    <message>
        <source>システムに従う</source>
        <translation>Follow the system</translation>
    </message>
    <message>
        <source>言語</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>言語の変更を反映するには再起動が必要です</source>
        <translation>Restart to apply the language change</translation>
    </message>
    <message>
        <source>再起動すると選択した言語で表示されます。</source>
        <translation>After a restart, Kestrune appears in the language you chose.</translation>
    </message>
    <message>
        <source>今すぐ再起動</source>
        <translation>Restart Now</translation>
    </message>
    <message>
        <source>後で</source>
        <translation>Later</translation>
    </message>
    <message>
        <source>メンテナンス</source>
        <translation>Maintenance</translation>
    </message>
    <message>
        <source>充電制御をリセット(充電を許可状態に戻す)</source>
        <translation>Reset Charge Control (allow charging again)</translation>
    </message>
    <message>
        <source>macOS標準の「バッテリー充電の最適化」はオフを推奨します(本アプリの制御と競合します)。システム設定 → バッテリーで変更できます。</source>
        <translation>Turn off charge thresholds set in the desktop&apos;s power settings or by another charge-limiting tool: they conflict with Kestrune&apos;s control.</translation>
    </message>
    <message>
        <source>ソフトウェアアップデート</source>
        <translation>Software Update</translation>
    </message>
    <message>
        <source>バージョン</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>前回の確認</source>
        <translation>Last checked</translation>
    </message>
    <message>
        <source>今すぐアップデートを確認</source>
        <translation>Check for Updates Now</translation>
    </message>
    <message>
        <source>新しいバージョンは自動的に確認・ダウンロードされ、アプリの再起動時に適用されます。</source>
        <translation>New versions come through your distribution&apos;s packages and take effect when Kestrune restarts.</translation>
    </message>
    <message>
        <source>yyyy/MM/dd H:mm</source>
        <translation>MMM d, yyyy, h:mm AP</translation>
    </message>
    <message>
        <source>AI充電(ジャストインタイム)</source>
        <translation>AI Charging (Just in Time)</translation>
    </message>
    <message>
        <source>AI充電を有効にする</source>
        <translation>Enable AI charging</translation>
    </message>
    <message>
        <source>普段ケーブルを抜く時刻を学習し、直前まで上限で待機してから満充電に切り替えます。上限運用の劣化抑制と、出発時の満充電を両立します。</source>
        <translation>Learns when you usually unplug, waits at the limit until shortly before, then charges to full: the battery wears less from staying at the limit, and it is full when you leave.</translation>
    </message>
    <message>
        <source>学習状況</source>
        <translation>Learning</translation>
    </message>
    <message>
        <source>次の取り外し予測</source>
        <translation>Next predicted unplug</translation>
    </message>
    <message>
        <source>学習サンプル数</source>
        <translation>Learned from</translation>
    </message>
    <message>
        <source>学習した充電速度</source>
        <translation>Learned charging speed</translation>
    </message>
    <message>
        <source>通常のバッテリー消費</source>
        <translation>Usual battery drain</translation>
    </message>
    <message>
        <source>現在AI充電ウィンドウ内: 満充電に向けて充電中です</source>
        <translation>In the AI charging window: charging to full</translation>
    </message>
    <message>
        <source>アプリ別電力(相対値)</source>
        <translation>Power by App (relative)</translation>
    </message>
    <message>
        <source>計測する</source>
        <translation>Measure</translation>
    </message>
    <message>
        <source>計測にはヘルパーの有効化が必要です(「一般」タブから)</source>
        <translation>Measuring needs the helper (enable it in the General tab)</translation>
    </message>
    <message>
        <source>「計測する」を押すと、約3秒間サンプリングして消費電力の多いアプリを表示します。</source>
        <translation>Press “Measure” to sample for about 3 seconds and see the apps that use the most power.</translation>
    </message>
    <message>
        <source>計測データがありません。</source>
        <translation>No measurement data.</translation>
    </message>
    <message>
        <source>学習中(取り外しイベントが3件以上必要)</source>
        <translation>Learning (needs at least 3 unplug events)</translation>
    </message>
    <message>
        <source>M/d(ddd) H:mm</source>
        <translation>ddd, M/d, h:mm AP</translation>
    </message>
    <message>
        <source>余裕時間: %lld分前に完了</source>
        <translation>Margin: full %lld min before unplugging</translation>
    </message>
    <message>
        <source>%lld件の取り外しイベント</source>
        <translation>%lld unplug events</translation>
    </message>
    <message>
        <source>約%.1f分/%%(100%%まで残り%d%%なら約%.0f分)</source>
        <translation>About %.1f min per %% (%d%% left to 100%%: about %.0f min)</translation>
    </message>
    <message>
        <source>約%.1fW</source>
        <translation>About %.1fW</translation>
    </message>
    <message>
        <source>ダッシュボード</source>
        <translation>Dashboard</translation>
    </message>
    <message>
        <source>充電ルール</source>
        <translation>Charge Rules</translation>
    </message>
    <message>
        <source>AIインサイト</source>
        <translation>AI Insights</translation>
    </message>
    <message>
        <source>一般</source>
        <translation>General</translation>
    </message>
    <message>
        <source>充電上限</source>
        <translation>Charge Limit</translation>
    </message>
    <message>
        <source>充電上限を有効にする</source>
        <translation>Enable the charge limit</translation>
    </message>
    <message>
        <source>上限</source>
        <translation>Limit</translation>
    </message>
    <message>
        <source>80%(ハードウェア制限)</source>
        <translation>80% (hardware limit)</translation>
    </message>
    <message>
        <source>100%(制限なし)</source>
        <translation>100% (no limit)</translation>
    </message>
    <message>
        <source>このMacでは細かい上限指定キーが見つからないため、Apple純正の80%リミット(CHWA)を使用します。</source>
        <translation>This computer offers no finer charge limit, so the battery&apos;s own 80% limit (CHWA) is used.</translation>
    </message>
    <message>
        <source>動作状況</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>現在の状態</source>
        <translation>Current state</translation>
    </message>
    <message>
        <source>実効上限</source>
        <translation>Effective limit</translation>
    </message>
    <message>
        <source>ヘルパー未接続のため制御は行われません(「一般」タブから有効化)</source>
        <translation>No control while the helper is not connected (enable it in the General tab)</translation>
    </message>
    <message>
        <source>%lld%%</source>
        <translation>%lld%%</translation>
    </message>
    <message>
        <source>充電再開: 上限から %lld%% 低下したら</source>
        <translation>Resume charging when it drops %lld%% below the limit</translation>
    </message>
    <message>
        <source>例: 上限%lld%%の場合、%lld%%まで下がると充電を再開します。</source>
        <translation>Example: with a limit of %lld%%, charging resumes once the battery falls to %lld%%.</translation>
    </message>
    <message>
        <source>Kestrune</source>
        <translation>Kestrune</translation>
    </message>
    <message>
        <source>実績をシェア</source>
        <translation>Share achievements</translation>
    </message>
    <message>
        <source>ようこそ</source>
        <translation>Welcome</translation>
    </message>
    <message>
        <source>今すぐ満充電</source>
        <translation>Charge to Full Now</translation>
    </message>
    <message>
        <source>満充電を中止</source>
        <translation>Stop Full Charge</translation>
    </message>
    <message>
        <source>100%まで充電中</source>
        <translation>Charging to 100%</translation>
    </message>
    <message>
        <source>バッテリー最大容量(設計容量比)</source>
        <translation>Battery maximum capacity (relative to design capacity)</translation>
    </message>
    <message>
        <source>充放電サイクル数</source>
        <translation>Charge cycle count</translation>
    </message>
    <message>
        <source>バッテリー温度</source>
        <translation>Battery temperature</translation>
    </message>
    <message>
        <source>再接続</source>
        <translation>Reconnect</translation>
    </message>
    <message>
        <source>修復</source>
        <translation>Repair</translation>
    </message>
    <message>
        <source>充電制御にはヘルパーの有効化が必要です</source>
        <translation>Charge control needs the helper to be enabled</translation>
    </message>
    <message>
        <source>状態: </source>
        <translation>Status: </translation>
    </message>
    <message>
        <source>ダッシュボードを開く</source>
        <translation>Open Dashboard</translation>
    </message>
    <message>
        <source>アップデートを確認</source>
        <translation>Check for Updates</translation>
    </message>
    <message>
        <source>終了</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>停止中</source>
        <translation>On hold</translation>
    </message>
    <message>
        <source>給電中</source>
        <translation>On AC power</translation>
    </message>
    <message>
        <source>アダプタ %lldW</source>
        <translation>Adapter %lldW</translation>
    </message>
    <message>
        <source>現在の消費ペースでの推定駆動可能時間</source>
        <translation>Estimated runtime at the current rate of use</translation>
    </message>
    <message>
        <source>残り約%lld時間%lld分</source>
        <translation>About %lldh %lldm left</translation>
    </message>
    <message>
        <source>残り約%lld分</source>
        <translation>About %lldm left</translation>
    </message>
    <message>
        <source>LLM戦略適用中</source>
        <translation>LLM strategy in effect</translation>
    </message>
    <message>
        <source>自動</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>手動</source>
        <translation>Manual</translation>
    </message>
    <message>
        <source>レベル</source>
        <translation>Level</translation>
    </message>
    <message>
        <source>今日 +%.0f分延命(推定)</source>
        <translation>Today +%.0f min gained (est.)</translation>
    </message>
    <message>
        <source>消費大: %@</source>
        <translation>Top users: %@</translation>
    </message>
    <message>
        <source>今週の合計</source>
        <translation>This week</translation>
    </message>
    <message>
        <source>実績カードを画像にしてSNSでシェアできます。</source>
        <translation>Turn your savings into a card image to share on social media.</translation>
    </message>
    <message>
        <source>LLM戦略プランナーを有効にする</source>
        <translation>Enable the LLM strategy planner</translation>
    </message>
    <message>
        <source>セッション終了時にAIレポートを生成</source>
        <translation>Write an AI report when a battery session ends</translation>
    </message>
    <message>
        <source>本日の使用量</source>
        <translation>Usage today</translation>
    </message>
    <message>
        <source>現在のAI戦略</source>
        <translation>Current AI strategy</translation>
    </message>
    <message>
        <source>戦略を今すぐ生成</source>
        <translation>Generate strategy now</translation>
    </message>
    <message>
        <source>最新のセッションレポート</source>
        <translation>Latest session report</translation>
    </message>
    <message>
        <source>直近のAI異常診断</source>
        <translation>Latest AI drain diagnosis</translation>
    </message>
    <message>
        <source>%lld回 / 約%lldトークン</source>
        <translation>Calls: %lld, tokens: about %lld</translation>
    </message>
    <message>
        <source>目標 %.1fW</source>
        <translation>Target %.1f W</translation>
    </message>
    <message>
        <source>推奨減速: %@</source>
        <translation>Slow down: %@</translation>
    </message>
    <message>
        <source>回避: %@</source>
        <translation>Leave alone: %@</translation>
    </message>
    <message>
        <source>更新: %@</source>
        <translation>Updated %@</translation>
    </message>
    <message>
        <source>H:mm</source>
        <translation>h:mm AP</translation>
    </message>
    <message>
        <source>バッテリー駆動中に自動で戦略が生成されます。</source>
        <translation>A strategy is generated automatically while on battery.</translation>
    </message>
    <message>
        <source>LLM未接続(オンデバイス学習のみで動作中)。</source>
        <translation>LLM not connected (running on on-device learning only).</translation>
    </message>
    <message>
        <source>本日分は生成済み(生成は1日1回)</source>
        <translation>Today&apos;s strategy is ready (one per day)</translation>
    </message>
    <message>
        <source>信頼度 %lld%%(実測5回で100%%)</source>
        <translation>Confidence %lld%% (100%% after 5 measurements)</translation>
    </message>
    <message>
        <source>実測%lld回</source>
        <translation>%lld×</translation>
    </message>
    <message>
        <source>バッテリー駆動中にアクションを適用しながら効果を実測学習します。</source>
        <translation>While on battery, the autopilot measures what each action really saves.</translation>
    </message>
    <message>
        <source>学習した好み(自動で避けます)</source>
        <translation>Learned preferences (avoided automatically)</translation>
    </message>
    <message>
        <source>7日間の実績</source>
        <translation>Last 7 days</translation>
    </message>
    <message>
        <source>省電力オートパイロットを有効にする</source>
        <translation>Enable the power-saving autopilot</translation>
    </message>
    <message>
        <source>画面輝度の自動減光</source>
        <translation>Dim the display automatically</translation>
    </message>
    <message>
        <source>キーボードバックライトを消灯</source>
        <translation>Turn off the keyboard backlight</translation>
    </message>
    <message>
        <source>アクションを通知</source>
        <translation>Notify about actions</translation>
    </message>
    <message>
        <source>自動学習(使用パターンから予測)</source>
        <translation>Learn automatically (from usage patterns)</translation>
    </message>
    <message>
        <source>手動指定</source>
        <translation>Manual</translation>
    </message>
    <message>
        <source>目標駆動時間</source>
        <translation>Battery-life target</translation>
    </message>
    <message>
        <source>今から適用</source>
        <translation>Apply from now</translation>
    </message>
    <message>
        <source>目標</source>
        <translation>Target</translation>
    </message>
    <message>
        <source>Spotlightインデックス作成を一時停止</source>
        <translation>Pause file indexing</translation>
    </message>
    <message>
        <source>Time Machine自動バックアップを一時停止</source>
        <translation>Pause automatic backups</translation>
    </message>
    <message>
        <source>どちらもAC再接続時に自動で再開されます。</source>
        <translation>Both resume automatically when power is reconnected.</translation>
    </message>
    <message>
        <source>%@ — 巻き戻し傾向 %.1f</source>
        <translation>%@ — undone often, %.1f</translation>
    </message>
    <message>
        <source>+%.0f分延命(%.1fWh)</source>
        <translation>+%.0f min longer (%.1f Wh)</translation>
    </message>
    <message>
        <source>%.1f時間</source>
        <translation>%.1f h</translation>
    </message>
    <message>
        <source>M月d日 H:mm</source>
        <translation>MMM d, h:mm AP</translation>
    </message>
    <message>
        <source>現在減速中のプロセスはありません。</source>
        <translation>No processes are slowed down right now.</translation>
    </message>
    <message>
        <source>アプリ名(部分一致)</source>
        <translation>App name (partial match)</translation>
    </message>
    <message>
        <source>追加</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>まだアクションはありません。</source>
        <translation>No actions yet.</translation>
    </message>
    <message>
        <source>減速中のプロセス(%lld件)</source>
        <translation>Slowed-down processes (%lld)</translation>
    </message>
    <message>
        <source>解除</source>
        <translation>Release</translation>
    </message>
    <message>
        <source>PID %lld</source>
        <translation>PID %lld</translation>
    </message>
    <message>
        <source>「%@」を除外リストに追加しますか?(解除操作から学習)</source>
        <translation>Add “%@” to the exclusion list? (learned from your releases)</translation>
    </message>
    <message>
        <source>無視</source>
        <translation>Ignore</translation>
    </message>
    <message>
        <source>ブースト(AC接続まで最大節電)</source>
        <translation>Boost (maximum saving until plugged in)</translation>
    </message>
    <message>
        <source>オートパイロット</source>
        <translation>Autopilot</translation>
    </message>
    <message>
        <source>今日の節電実績</source>
        <translation>Saved today</translation>
    </message>
    <message>
        <source>推定駆動可能時間</source>
        <translation>Estimated runtime</translation>
    </message>
    <message>
        <source>目標(あと)</source>
        <translation>Target (remaining)</translation>
    </message>
    <message>
        <source>削減目標</source>
        <translation>Still to save</translation>
    </message>
    <message>
        <source>自動調整</source>
        <translation>Automatic</translation>
    </message>
    <message>
        <source>省電力レベル</source>
        <translation>Saving level</translation>
    </message>
    <message>
        <source>L%lld</source>
        <translation>L%lld</translation>
    </message>
    <message>
        <source>L%lld %@</source>
        <translation>L%lld %@</translation>
    </message>
    <message>
        <source>+%.0f分延命(推定・%.1fWh)</source>
        <translation>+%.0f min longer (est. %.1f Wh)</translation>
    </message>
    <message>
        <source>まだ実績がありません</source>
        <translation>Nothing saved yet</translation>
    </message>
    <message>
        <source>学習中(セッション履歴が3件以上必要)</source>
        <translation>Learning (needs 3 or more sessions)</translation>
    </message>
    <message>
        <source>%.1fW(選択済み %.1fW)</source>
        <translation>%.1f W (%.1f W chosen)</translation>
    </message>
    <message>
        <source>延命実績</source>
        <translation>Battery life gained</translation>
    </message>
    <message>
        <source>AIエンジン(LLM)</source>
        <translation>AI engine (LLM)</translation>
    </message>
    <message>
        <source>AI戦略とレポート</source>
        <translation>AI strategy and reports</translation>
    </message>
    <message>
        <source>学習済みの節電効果(このMacの実測)</source>
        <translation>Learned savings (measured on this computer)</translation>
    </message>
    <message>
        <source>設定</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>バックグラウンドサービス(逼迫時に一時停止)</source>
        <translation>Background services (paused when battery is tight)</translation>
    </message>
    <message>
        <source>除外リスト(減速対象にしない)</source>
        <translation>Exclusion list (never slowed down)</translation>
    </message>
    <message>
        <source>アクションログ</source>
        <translation>Action log</translation>
    </message>
    <message>
        <source>Low Power Mode</source>
        <translation>Power saver profile</translation>
    </message>
</context>
<context>
    <name>kestrune::UserDefaults</name>
    <message>
        <source>cannot read %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is not valid JSON: %2 at offset %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is not a preferences file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>; the file could not be moved aside, so changes will not be saved</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot create %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 was written by a newer version (format %2); changes will not be saved</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is of an unknown format version</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 holds malformed values for %2; they read as unset and are kept as they are</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
